// Export of a capture: the export record and dialog, the value change dump, CSV and table files
// read back by independent readers, images, the list file and printing to PDF.
#include "ksm_test_session.h"
#include "manager_test_support.h"
#include "paint_recorder.h"

#include "vokr_export_dlg.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_list_file.h"
#include "vokr_view.h"
#include "vokr_waveform_export_data.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextCodec>
#include <QThread>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>

#include <csignal>

#include <fstream>
#include <map>
#include <set>
#include <tuple>

using namespace manager_test;

namespace {

// Runs a program; its standard output, or nothing with `ok` false when it is missing or fails.
QString run(const QString& program, const QStringList& args, bool* ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

bool have(const char* tool) { return !QStandardPaths::findExecutable(tool).isEmpty(); }

// The peak resident size of the process since the last reset_peak(), in MB.
double peak_mb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Per variable (scope path and name), the value at every sample, from a value change dump.
std::map<std::string, std::vector<std::string>> read_vcd(const QString& file, int depth, int64_t step)
{
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    std::map<std::string, std::string> name_of, current;
    std::map<std::string, int> width;
    std::map<std::string, std::vector<std::string>> out;
    std::vector<std::string> scope;
    int64_t time = 0;
    auto fill = [&](int64_t until) {
        for (auto& [id, name] : name_of)
            while (int64_t(out[name].size()) < std::min<int64_t>(until, depth))
                out[name].push_back(current[id]);
    };
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QList<QByteArray> w = raw.trimmed().split(' ');
        const std::string first = w[0].toStdString();
        if (first == "$scope")
            scope.push_back(w[2].toStdString());
        else if (first == "$upscope")
            scope.pop_back();
        else if (first == "$var") {
            std::string name;
            for (const auto& s : scope)
                name += s + ".";
            name_of[w[3].toStdString()] = name + w[4].toStdString();
            width[w[3].toStdString()] = w[2].toInt();
        } else if (first[0] == '#') {
            fill(std::stoll(first.substr(1)) / step);
            time = std::stoll(first.substr(1));
        } else if (first[0] == 'b' || first[0] == 'B') {
            std::string v = first.substr(1), id = w[1].toStdString();
            current[id] = std::string(size_t(std::max(0, width[id] - int(v.size()))), v[0] == '1' ? '0' : v[0]) + v;
        } else if (first[0] == '0' || first[0] == '1' || first[0] == 'x')
            current[first.substr(1)] = first.substr(0, 1);
    }
    (void)time;
    fill(depth);
    return out;
}

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_zoom_level;
    using VOKR_VIEW::m_zoom_offset;
    using VOKR_VIEW::VOKR_VIEW;
    int fit_answer = -1;  // -1 close the dialog, 0 keep spacing, 1 fit all
    int asked = 0;
    bool ask_image_fit_all(bool* fit) override
    {
        ++asked;
        *fit = fit_answer == 1;
        return fit_answer >= 0;
    }
};

// The demo session with a capture on the Data tab of a framed editor.
class Export : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m_editor = std::make_unique<EDITOR>(true);
        m_tabs.addTab(new QWidget, "Data"), m_tabs.addTab(new QWidget, "Setup");
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
        m_view = std::make_unique<VIEW>(nullptr, m());
        m_view->resize(900, 400);
        VOKR_VIEW::set_list_file_viewer(QString());
    }
    void TearDown() override
    {
        m_view.reset();
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        m_editor.reset();
        PRJ_PROJECT::close();
        MANAGER_TEST::TearDown();
    }
    VOKR_TX_MANAGER* m() const { return m_editor->get(); }
    KSM_TX_SIGNAL_SET* data() const { return m_editor->data(); }
    void open_demo()
    {
        ASSERT_NO_FATAL_FAILURE(open_demo_project());
        ASSERT_NO_FATAL_FAILURE(open_session(m(), "demo.lmx"));
        m_tabs.setCurrentIndex(0);
    }
    static bool bit(int channel, int s)
    {
        return channel % 3 == 0 ? (s >> (1 + channel % 4)) & 1 : (s / (3 + channel)) % 2;
    }
    // The 130-bit bus of WideBusDumpEqualsOneWrittenSampleBySample with members that keep their
    // values for long: one changes at the first sample of the second and third 2048-sample chunks,
    // the last one alone late in the second chunk, and three hold their value through the second
    // chunk but for a few samples inside its second, third or fourth word; the other channels as bit().
    static bool steady_bus_bit(int channel, int s)
    {
        if (channel < 1 || channel > 130)
            return bit(channel, s);
        const auto within = [s](int word, int from) {
            return s >= 2048 + 64 * word + from && s < 2048 + 64 * word + from + 3;
        };
        switch (channel) {
        case 5: return s >= 2048 && s < 4096;
        case 6: return within(3, 5);
        case 7: return !within(2, 40);
        case 8: return within(1, 30);
        case 130: return s >= 4000;
        default: return channel % 2;
        }
    }
    KSM_DATA_LOG* capture(int depth, int trigger = 0, int dead = -1, int segment = 0, bool (*value)(int, int) = bit)
    {
        KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
        log->begin_capture(data()->get_num_channels(), depth, segment);
        for (int c = 0; c < data()->get_num_channels(); ++c)
            for (int s = 0; s < depth; ++s)
                log->set_bit(c, s, value(c, s));
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, s < 40 || s > 43);
        log->set_trigger_mark(trigger, true);
        log->set_trigger_positions({trigger});
        if (dead >= 0)
            log->set_connection_status(dead, false);
        log->end_capture();
        m()->set_view_log(0, log);
        m_view->invalidate_geometry();
        return log;
    }
    QString file(const char* name) const { return QString::fromStdString(path(name)); }

    std::unique_ptr<EDITOR> m_editor;
    QTabWidget m_tabs;
    std::unique_ptr<VIEW> m_view;
};

TEST(ExportRecord, FieldsIntervalsAndExtensions)
{
    VOKR_WAVEFORM_EXPORT_DATA record;
    EXPECT_FALSE(record.set_clock_interval(0));
    EXPECT_EQ(record.get_clock_interval(), 0);
    EXPECT_FALSE(record.set_filename(nullptr));
    EXPECT_FALSE(record.create_vector_database(nullptr));
    const struct {
        double period;
        int unit;
        int64_t ps;
    } intervals[] = {{2.5, 3, 2500}, {100, 5, 10000}, {3, 5, 333333}, {1, 0, 1000000000000}};
    for (const auto& c : intervals)
        EXPECT_EQ(VOKR_EXPORT_DLG::clock_interval(c.period, c.unit), c.ps) << c.period;
    const std::pair<const char*, const char*> names[] = {
        {"run.csv", "run.csv"},
        {"run", "run.csv"},
        // A name holding the extension inside names another file than the one it would be cut to.
        {"a.csv.old", "a.csv.old.csv"},
        {"keep.csv_notes", "keep.csv_notes.csv"},
        {"data.CSV", "data.CSV.csv"},
        {"/x/run.csv.d/out", "/x/run.csv.d/out.csv"}};
    for (const auto& [in, out] : names)
        EXPECT_EQ(VOKR_EXPORT_DLG::apply_extension(in, ".csv"), out);
}

TEST_F(Export, DialogValidatesBeforeClosingAndExports)
{
    open_demo();
    KSM_DATA_LOG* log = capture(256);
    VOKR_EXPORT_DLG dialog(log, m_editor->frame(), nullptr, m());
    EXPECT_EQ(dialog.file_field()->text(), "demo");
    EXPECT_EQ(dialog.clock_field()->text(), "clk");
    dialog.format_combo()->setCurrentIndex(4);
    EXPECT_FALSE(dialog.period_field()->isEnabled() || dialog.unit_combo()->isEnabled());
    dialog.format_combo()->setCurrentIndex(0);
    EXPECT_TRUE(dialog.period_field()->isEnabled() && dialog.unit_combo()->isEnabled());
    const QString out = file("run");
    dialog.file_field()->setText(out);
    for (const char* bad : {"0.5", "10000.5", "", "abc"}) {
        MSG_JOURNAL::clear();
        dialog.period_field()->setText(bad);
        dialog.accept();
        EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_VALUE_OUT_OF_RANGE"}) << bad;
        EXPECT_NE(dialog.result(), QDialog::Accepted) << bad;
        EXPECT_FALSE(QFile::exists(out + ".csv"));
    }
    for (const char* good : {"1", "10000"}) {
        QFile::remove(out + ".csv");
        MSG_JOURNAL::clear();
        dialog.period_field()->setText(good);
        dialog.accept();
        EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_SUCCESSFUL_EXPORT"}) << good;
        EXPECT_TRUE(QFile::exists(out + ".csv"));
    }
}

// A file already at the name is replaced only after Yes; No goes back to the dialog and writes
// nothing. The browse button's chooser fills the field without a question of its own.
TEST_F(Export, AFileThereIsReplacedOnlyAfterYes)
{
    open_demo();
    KSM_DATA_LOG* log = capture(64);
    const QString out = file("kept.csv");
    write_file(out, "mine");
    VOKR_EXPORT_DLG dialog(log, m_editor->frame(), nullptr, m());
    bool chooser_asked = false;
    QTimer watch;  // answers a question of the chooser's, noting that it asked
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* question = qobject_cast<QMessageBox*>(widget); question && question->isVisible()) {
                chooser_asked = true;
                question->button(QMessageBox::Yes)->click();
            }
    });
    watch.start(10);
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        chooser->setDirectory(QFileInfo(out).absolutePath());
        chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(out).fileName());
        static_cast<QDialog*>(chooser)->accept();
    });
    dialog.file_field()->browse();
    watch.stop();
    EXPECT_FALSE(chooser_asked);
    EXPECT_EQ(QFileInfo(dialog.file_field()->text()), QFileInfo(out));
    for (int answer : {MSG_PROMPT::MSG_VALUE_NO, MSG_PROMPT::MSG_VALUE_YES}) {
        const bool yes = answer == MSG_PROMPT::MSG_VALUE_YES;
        MSG_JOURNAL::clear();
        MSG_JOURNAL::push_answer(answer);
        dialog.accept();
        const auto asked = MSG_JOURNAL::records_of("prompted");
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked[0].text, "File \"" + out.toStdString() + "\" already exists. Do you want to replace it?");
        EXPECT_EQ(shown_messages().size(), yes ? 2u : 1u);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, yes);
        QFile written(out);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll() == "mine", !yes);
    }
}

// Every value of every bus and signal, as an independent reader gets them back from our dump,
// equals the log; invalid samples read as x.
TEST_F(Export, ValueChangeDumpReadsBackThroughAnIndependentReader)
{
    if (!have("vcd2fst") || !have("fst2vcd"))
        GTEST_SKIP() << "vcd2fst/fst2vcd (Debian package gtkwave) not installed";
    open_demo();
    KSM_DATA_LOG* log = capture(300, 20);
    VOKR_WAVEFORM_EXPORT_DATA record;
    record.set_type(GUV_OUTPUT_VCD);
    record.set_clock_interval(10000);
    record.set_filename(file("d.vcd").toLocal8Bit().constData());
    ASSERT_TRUE(record.create_vector_database(log));
    bool ok = false;
    run("vcd2fst", {file("d.vcd"), file("d.fst")}, &ok);
    ASSERT_TRUE(ok);
    const QString back = run("fst2vcd", {file("d.fst")}, &ok);
    ASSERT_TRUE(ok);
    write_file(file("back.vcd"), back.toLocal8Bit());
    const auto values = read_vcd(file("back.vcd"), 300, 1);
    EXPECT_EQ(values, read_vcd(file("d.vcd"), 300, 1));
    int compared = 0;
    for (int row = 0; row < data()->get_num_nodes(); row = data()->get_last_child_index(row) + 1) {
        std::string name = std::string("capture.") + data()->get_node_name(row);
        std::replace(name.begin(), name.end(), '|', '.');
        name = name.substr(0, name.find('['));
        const auto it = values.find(name);
        ASSERT_NE(it, values.end()) << name;
        for (int s = 0; s < 300; ++s) {
            std::string expected;
            for (int r = row; r <= data()->get_last_child_index(row); ++r)
                if (data()->get_channel(r) >= 0)
                    expected += s >= 40 && s <= 43 ? 'x' : char('0' + bit(data()->get_channel(r), s));
            ASSERT_EQ(it->second[s], expected) << name << " at " << s;
        }
        ++compared;
    }
    EXPECT_GT(compared, 2);
}

// Dumps of the demo's signals and buses, with invalid samples, a channel not connected and
// segments, keep the bytes they had when their hashes were recorded (the date line left out).
TEST_F(Export, ValueChangeDumpsKeepTheirBytes)
{
    open_demo();
    const struct {
        int depth, trigger, dead, segment;
        uint64_t hash;
    } cases[] = {{300, 20, -1, 0, 14197805384553312242ull},
                 {5000, 700, 2, 0, 241474287794944570ull},
                 {4096, 100, 1, 1024, 8988254165731731127ull}};
    for (const auto& c : cases) {
        VOKR_WAVEFORM_EXPORT_DATA record;
        record.set_type(GUV_OUTPUT_VCD);
        record.set_clock_interval(10000);
        record.set_filename(file("k.vcd").toLocal8Bit().constData());
        ASSERT_TRUE(record.create_vector_database(capture(c.depth, c.trigger, c.dead, c.segment)));
        QFile dump(file("k.vcd"));
        ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
        const QByteArray bytes = dump.readAll();
        uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a from the line after the date on
        for (int i = bytes.indexOf("$end\n"); i < bytes.size(); ++i)
            hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 0x100000001b3ull;
        EXPECT_EQ(hash, c.hash) << c.depth;
    }
}

// Dumps with a bus wider than a word (one member not captured in one case; its members changing
// at almost every sample, or rarely), a narrow bus and single bits equal a dump written sample by
// sample from the log's bits: a value where it differs from the one before or where validity
// changes; also when rendered a block at a time, and with the buses ungrouped (135 single bits,
// more than two words of columns).
TEST_F(Export, WideBusDumpEqualsOneWrittenSampleBySample)
{
    add_rows(m(), {"a"});
    for (int i = 0; i < 130; ++i)
        add_rows(m(), {("w" + std::to_string(i)).c_str()});
    add_rows(m(), {"n0", "n1", "n2", "c"});
    ASSERT_TRUE(data()->group_nodes(131, 133) && data()->group_nodes(1, 130));
    // Channels per column, most significant first: a, the 130-bit bus, the 3-bit bus, c.
    std::vector<std::vector<int>> columns{{0}, {}, {131, 132, 133}, {134}};
    for (int c = 1; c <= 130; ++c)
        columns[1].push_back(c);
    const struct {
        int depth, dead;
        bool (*value)(int channel, int sample);
        bool short_chunks, singles = false;
    } cases[] = {{4500, -1, bit, false},       {2200, 70, bit, false},
                 {300, 0, bit, false},         {4500, -1, steady_bus_bit, false},
                 {4500, 70, bit, true},        {4500, -1, steady_bus_bit, true},
                 {4500, -1, bit, false, true}, {2200, 70, bit, false, true},
                 {4500, -1, bit, true, true}};
    const size_t budget = GUV_DATA_LOG_EXPORTER::set_vcd_budget(0);  // no budget: chunks of one block
    for (const auto& c : cases) {
        if (c.singles && columns.size() < 135) {
            ASSERT_TRUE(data()->ungroup_node(132) && data()->ungroup_node(1));
            columns.clear();
            for (int channel = 0; channel < 135; ++channel)
                columns.push_back({channel});
        }
        GUV_DATA_LOG_EXPORTER::set_vcd_budget(c.short_chunks ? 0 : budget);
        VOKR_WAVEFORM_EXPORT_DATA record;
        record.set_type(GUV_OUTPUT_VCD);
        record.set_clock_interval(10000);
        record.set_filename(file("w.vcd").toLocal8Bit().constData());
        ASSERT_TRUE(record.create_vector_database(capture(c.depth, 0, c.dead, 0, c.value)));
        QFile dump(file("w.vcd"));
        ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
        const std::string bytes = dump.readAll().toStdString();
        std::vector<std::string> ids;
        for (size_t at = 0; (at = bytes.find("$var wire ", at)) != std::string::npos; ++at)
            ids.push_back(QByteArray::fromStdString(bytes.substr(at)).split(' ')[3].toStdString());
        ASSERT_EQ(ids.size(), columns.size());
        std::string expected = "$enddefinitions $end\n";
        std::vector<std::string> before(columns.size());
        const auto valid = [](int s) { return s < 40 || s > 43; };
        for (int s = 0; s < c.depth; ++s) {
            std::string lines;
            for (size_t i = 0; i < columns.size(); ++i) {
                std::string value = columns[i].size() > 1 ? "b" : "";
                for (int channel : columns[i])
                    value += !valid(s) || channel == c.dead ? 'x' : char('0' + c.value(channel, s));
                if (s == 0 || valid(s) != valid(s - 1) || value != before[i])
                    lines += value + (columns[i].size() > 1 ? " " : "") + ids[i] + "\n";
                before[i] = value;
            }
            if (s == 0)
                expected += "#0\n$dumpvars\n" + lines + "$end\n";
            else if (!lines.empty())
                expected += "#" + std::to_string(s) + "\n" + lines;
        }
        expected += "#" + std::to_string(c.depth) + "\n";
        const std::string got = bytes.substr(bytes.find("$enddefinitions"));  // compared from where they differ
        const size_t at =
            size_t(std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin());
        EXPECT_EQ(got.substr(at, 80), expected.substr(at, 80))
            << c.depth << (c.value == bit ? "" : " steady") << (c.short_chunks ? " short" : "")
            << (c.singles ? " singles" : "") << " at byte " << at;
    }
    GUV_DATA_LOG_EXPORTER::set_vcd_budget(budget);
}

// A dump where every column changes at every sample, rendered on a budget of 8 MB: no chunk takes
// more than a quarter of what the budget leaves for the texts, so that the export's memory stays
// within the budget, that quarter and what the allocator keeps of texts that grew (measured 1.4 to
// 1.6 times the budget; a chunk that may take the whole budget makes it four times).
TEST_F(Export, ValueChangeDumpStaysWithinItsMemoryBudget)
{
    constexpr int COLUMNS = 512, DEPTH = 1 << 14;
    constexpr double BUDGET_MB = 8;
    data()->set_linked_edits(false);
    for (int i = 0; i < COLUMNS; ++i)
        data()->insert_node(("b" + std::to_string(i)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, true);
    KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
    log->begin_capture(COLUMNS, DEPTH, 0);
    const std::vector<uint64_t> toggling(DEPTH / 64, 0x5555555555555555ull);
    for (int c = 0; c < COLUMNS; ++c)
        log->set_channel_words(c, toggling.data(), toggling.size());
    for (int s = 0; s < DEPTH; ++s)
        log->set_valid(s, true);
    log->end_capture();
    const size_t budget = GUV_DATA_LOG_EXPORTER::set_vcd_budget(size_t(BUDGET_MB * (1 << 20)));
    malloc_trim(0);
    reset_peak();
    [[maybe_unused]] const double before = peak_mb();
    GUV_DATA_LOG_EXPORTER exporter;
    const bool exported =
        exporter.create_vector_database(log, GUV_OUTPUT_VCD, 10000) && exporter.export_file(path("budget.vcd").c_str());
    [[maybe_unused]] const double rise = peak_mb() - before;
    GUV_DATA_LOG_EXPORTER::set_vcd_budget(budget);
    ASSERT_TRUE(exported);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their shadow memory adds to the peak
    EXPECT_LT(rise, 2 * BUDGET_MB) << "MB over the open session";
#endif
}

TEST_F(Export, CsvAndTableFilesParse)
{
    open_demo();
    KSM_DATA_LOG* log = capture(64, 8);
    for (auto [format, separator] : {std::pair{GUV_OUTPUT_CSV, ','}, {GUV_OUTPUT_TABLE, '\t'}}) {
        VOKR_WAVEFORM_EXPORT_DATA record;
        record.set_type(format);
        record.set_clock_interval(1000);
        record.set_filename(file("t.txt").toLocal8Bit().constData());
        ASSERT_TRUE(record.create_vector_database(log));
        QFile f(file("t.txt"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        ASSERT_EQ(lines.size(), 65);
        const int columns = lines[0].split(separator).size();
        EXPECT_EQ(lines[0].split(separator)[2], "cpu|pc[15..0]");
        for (const QByteArray& line : lines)
            EXPECT_EQ(line.split(separator).size(), columns);
        EXPECT_EQ(lines[1].split(separator).mid(0, 2), (QList<QByteArray>{"-8", "-8000"}));
        EXPECT_EQ(lines[41].split(separator)[2], "x");
    }
    // A failed export keeps the file that was there.
    VOKR_WAVEFORM_EXPORT_DATA record;
    record.set_filename(file("missing/dir/t.csv").toLocal8Bit().constData());
    record.set_clock_interval(1);
    EXPECT_FALSE(record.create_vector_database(log));
}

// The files hold what the window shows: an inverted signal inverted, a bus listed least
// significant bit first with that bit on the right of its value (and its range declared so that
// each bit keeps its name), each segment's samples numbered and timed from its own trigger.
TEST_F(Export, FilesHoldWhatTheWindowShows)
{
    add_rows(m(), {"a", "v1", "v0"});
    ASSERT_TRUE(data()->group_nodes(1, 2) && data()->rename_group(1, "v[1..0]"));
    ASSERT_TRUE(data()->set_lsb_to_msb(1, true) && data()->set_signal_inverted(0, true));
    // Per sample: a, v1, v0; two segments of four samples, triggered at samples 1 and 6.
    const char* bits[] = {"100", "010", "011", "001", "111", "000", "101", "110"};
    KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
    log->begin_capture(3, 8, 4);
    for (int s = 0; s < 8; ++s) {
        for (int c = 0; c < 3; ++c)
            log->set_bit(c, s, bits[s][c] == '1');
        log->set_valid(s, true);
    }
    for (int trigger : {1, 6})
        log->set_trigger_mark(trigger, true);
    log->set_trigger_positions({1, 6});
    log->end_capture();
    m()->set_view_log(0, log);
    const struct {
        GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT format;
        std::vector<std::string> lines;  // from the first line holding the first's text
    } cases[] = {
        {GUV_OUTPUT_CSV,
         {"Sample,Time (ps),a,v[1..0]", "-1,-10,0,0", "0,0,1,1", "1,10,1,3", "2,20,1,2", "-2,-20,0,3", "-1,-10,1,0",
          "0,0,0,2", "1,10,0,1"}},
        {GUV_OUTPUT_TABLE, {"-1\t-10\t0\t0", "0\t0\t1\t1"}},
        {GUV_OUTPUT_VCD,
         {"$var wire 1 ! a $end", "$var wire 2 \" v [0:1] $end", "$upscope $end", "$enddefinitions $end", "#0",
          "$dumpvars", "0!", "b00 \"", "$end", "#1", "1!", "b01 \""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        VOKR_WAVEFORM_EXPORT_DATA record;
        record.set_type(c.format);
        record.set_clock_interval(10);
        record.set_filename(file("shown.txt").toLocal8Bit().constData());
        ASSERT_TRUE(record.create_vector_database(log));
        QFile f(file("shown.txt"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        std::vector<std::string> lines;
        for (const QByteArray& line : f.readAll().split('\n'))
            lines.push_back(line.toStdString());
        const auto first = std::find(lines.begin(), lines.end(), c.lines[0]);
        ASSERT_NE(first, lines.end()) << c.lines[0];
        EXPECT_EQ(std::vector<std::string>(first, first + std::min(c.lines.size(), size_t(lines.end() - first))),
                  c.lines);
    }
}

// A name's range is declared as the variable's bits only where it spans as many as the variable
// has: a single node named like a bus keeps its range in its name, which a reader would
// otherwise take for four bits.
TEST_F(Export, RangesThatAreNotTheVariablesWidthStayInTheName)
{
    add_rows(m(), {"x[3..0]", "y[2]", "z[0..0]", "w[1..-1]"});
    VOKR_WAVEFORM_EXPORT_DATA record;
    record.set_type(GUV_OUTPUT_VCD);
    record.set_clock_interval(1000);
    record.set_filename(file("r.vcd").toLocal8Bit().constData());
    ASSERT_TRUE(record.create_vector_database(capture(8)));
    QFile dump(file("r.vcd"));
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    QStringList declared;
    for (const QByteArray& line : dump.readAll().split('\n'))
        if (line.startsWith("$var"))
            declared << QString::fromLatin1(line).section(' ', 4).remove(" $end");
    EXPECT_EQ(declared.join(", ").toStdString(), "x[3..0], y [2], z [0:0], w[1..-1]");
}

// Names that split a field, a line or a declaration: a quote and a comma, line ends, blanks, an
// empty hierarchy level and keywords of the dump at every level. Python's csv module reads every
// name of the CSV and table files back whole, the list file's legend and the image show each name
// on one line, and the dump's variables come back through vcd2fst and fst2vcd with the names and
// scopes the dump gave them (skipped, and so told, without those tools).
TEST_F(Export, HostileNamesSurviveEveryExport)
{
    const std::pair<const char*, const char*> hostile[] = {
        // The node's name, and its variable in the dump below the scope "capture".
        {"cpu|alu|\"carry,\"", "cpu.alu.\"carry,\""},
        {"line\nend", "line\\x0aend"},
        {" two  blanks ", "_two__blanks_"},
        {"cr\r|x\ty", "cr\\x0d.x_y"},
        {"a||b", "a._.b"},
        {"$end", "\\$end"},
        {"tab\tin", "tab_in"},
        {"$scope|$var|x", "\\$scope.\\$var.x"},
        {"top|$upscope", "top.\\$upscope"},
    };
    std::vector<std::string> names;
    std::set<std::string> dumped;
    for (const auto& [name, variable] : hostile) {
        add_rows(m(), {name});
        names.push_back(name);
        dumped.insert(std::string("capture.") + variable);
    }
    KSM_DATA_LOG* log = capture(48);
    const QString reader =
        "import csv, json, sys\n"
        "rows = list(csv.reader(open(sys.argv[1], newline=''), delimiter=sys.argv[2]))\n"
        "print(json.dumps([rows[0], sorted({len(r) for r in rows}), len(rows)]))\n";
    for (auto [format, separator] : {std::pair{GUV_OUTPUT_CSV, ","}, {GUV_OUTPUT_TABLE, "\t"}}) {
        VOKR_WAVEFORM_EXPORT_DATA record;
        record.set_type(format);
        record.set_clock_interval(1000);
        record.set_filename(file("h.txt").toLocal8Bit().constData());
        ASSERT_TRUE(record.create_vector_database(log));
        bool ok = false;
        const QString out = run("python3", {"-c", reader, file("h.txt"), separator}, &ok);
        ASSERT_TRUE(ok) << "python3 reads the file";
        const QJsonArray back = QJsonDocument::fromJson(out.toUtf8()).array();
        std::vector<std::string> header;
        for (const QJsonValue& v : back[0].toArray())
            header.push_back(v.toString().toStdString());
        header.erase(header.begin(), header.begin() + std::min<size_t>(2, header.size()));
        EXPECT_EQ(header, names) << separator;
        EXPECT_EQ(QJsonDocument(back[1].toArray()).toJson(QJsonDocument::Compact).toStdString(),
                  "[" + std::to_string(names.size() + 2) + "]")
            << "fields per line";
        EXPECT_EQ(back[2].toInt(), 49) << separator;
    }
    m_view->show_list_view(file("h.lst"));
    QFile list(file("h.lst"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLocal8Bit(list.readAll()).split('\n');
    const int legend = lines.indexOf("Key        Signal Name") + 2;
    EXPECT_EQ(lines.value(legend + int(names.size())).toStdString(), "") << "one legend line per name";
    EXPECT_EQ(lines.value(legend + 1).toStdString(), "1        = line\\x0aend");
    // The image (the view's own painting) writes each name on its one line too.
    PAINT_RECORDER recorder;
    {
        QPainter painter(&recorder);
        QRect area = m_view->rect();
        m_view->paint(&painter, 0, m_view.get(), &area, true);
    }
    std::set<std::string> drawn;
    for (const auto& t : recorder.texts())
        drawn.insert(t.text.toStdString());
    for (const char* shown : {"line\\x0aend", "cr\\x0d|x\\x09y", "cpu|alu|\"carry,\""})
        EXPECT_EQ(drawn.count(shown), 1u) << shown;

    if (!have("vcd2fst") || !have("fst2vcd"))
        GTEST_SKIP() << "the dump's names not read back: vcd2fst/fst2vcd (Debian package gtkwave) not installed";
    VOKR_WAVEFORM_EXPORT_DATA record;
    record.set_type(GUV_OUTPUT_VCD);
    record.set_clock_interval(1000);
    record.set_filename(file("h.vcd").toLocal8Bit().constData());
    ASSERT_TRUE(record.create_vector_database(log));
    bool ok = false;
    run("vcd2fst", {file("h.vcd"), file("h.fst")}, &ok);
    ASSERT_TRUE(ok);
    write_file(file("hb.vcd"), run("fst2vcd", {file("h.fst")}, &ok).toLocal8Bit());
    ASSERT_TRUE(ok);
    const auto values = read_vcd(file("hb.vcd"), 48, 1);
    EXPECT_EQ(values, read_vcd(file("h.vcd"), 48, 1));
    std::set<std::string> back;
    for (const auto& [variable, samples] : values)
        back.insert(variable);
    EXPECT_EQ(back, dumped);
}

TEST_F(Export, ImagesHaveTheirSizeAndFormat)
{
    open_demo();
    capture(512);
    m_view->show();
    const struct {
        const char* name;
        const char* format;
    } images[] = {{"v.bmp", "BMP3"}, {"v.jpg", "JPEG"}};
    for (const auto& image : images) {
        const QSize size(m_view->get_total_width(), m_view->get_total_height());
        ASSERT_TRUE(m_view->export_image(file(image.name)));
        if (!have("identify"))
            GTEST_SKIP() << "identify (Debian package imagemagick) not installed";
        const QString out = run("identify", {"-format", "%m %w %h", file(image.name)});
        EXPECT_EQ(out, QString("%1 %2 %3").arg(image.format).arg(size.width()).arg(size.height()));
    }
    EXPECT_EQ(m_view->asked, 0);
    // Wider than an image may be: closing the question writes nothing; fit all writes the limit
    // and restores the zoom exactly.
    m_view->m_zoom_offset = VOKR_DOUBLE(VOKR_VIEW::SAMPLE_SPAN - 8, 1);
    m_view->invalidate_geometry();
    ASSERT_GT(m_view->get_total_width(), VOKR_VIEW::IMAGE_WIDTH_LIMIT);
    EXPECT_FALSE(m_view->export_image(file("w.bmp")));
    m_view->fit_answer = 1;
    const VOKR_DOUBLE offset = m_view->m_zoom_offset, level = m_view->m_zoom_level;
    ASSERT_TRUE(m_view->export_image(file("w.bmp")));
    EXPECT_EQ(QImage(file("w.bmp")).width(), VOKR_VIEW::IMAGE_WIDTH_LIMIT);
    EXPECT_TRUE(m_view->m_zoom_offset.m_numerator == offset.m_numerator &&
                m_view->m_zoom_level.m_denominator == level.m_denominator);
    EXPECT_EQ(m_view->size(), QSize(900, 400));
    m_view->fit_answer = 0;
    ASSERT_TRUE(m_view->export_image(file("k.bmp")));
    EXPECT_EQ(QImage(file("k.bmp")).width(), 900);
}

// What a person sees of the view: zoom, both bars' ranges and positions, and whether centring
// on the trigger is offered.
struct VIEW_PLACE {
    int level_n, level_d, offset_n, offset_d;
    bool bar_shown;
    int h_value, h_max, h_page, v_value, v_max;
    bool centre;
    bool operator==(const VIEW_PLACE& o) const
    {
        return std::tie(level_n, level_d, offset_n, offset_d, bar_shown, h_value, h_max, h_page, v_value, v_max,
                        centre) == std::tie(o.level_n, o.level_d, o.offset_n, o.offset_d, o.bar_shown, o.h_value,
                                            o.h_max, o.h_page, o.v_value, o.v_max, o.centre);
    }
};

VIEW_PLACE place_of(VIEW& view)
{
    QScrollBar* h = view.get_horizontal_bar();
    QScrollBar* v = view.get_vertical_bar();
    return {view.m_zoom_level.m_numerator,
            view.m_zoom_level.m_denominator,
            view.m_zoom_offset.m_numerator,
            view.m_zoom_offset.m_denominator,
            !h->isHidden(),
            h->value(),
            h->maximum(),
            h->pageStep(),
            v->value(),
            v->maximum(),
            view.on_update_center_on_trigger()};
}

// An export, fitted or keeping the spacing, leaves the zoomed and scrolled view as it was.
TEST_F(Export, ImageExportKeepsTheZoomAndScrollPosition)
{
    open_demo();
    capture(4096, 100);
    m_view->resize(900, 200);
    m_view->show();
    while (m_view->get_total_width() <= VOKR_VIEW::IMAGE_WIDTH_LIMIT)
        m_view->on_zoom_in();
    m_view->get_horizontal_bar()->setValue(3000);
    m_view->get_vertical_bar()->setValue(2);
    const VIEW_PLACE before = place_of(*m_view);
    ASSERT_TRUE(before.bar_shown && before.h_value == 3000 && before.v_value == 2 && before.centre);
    for (int answer : {1, 0}) {
        m_view->fit_answer = answer;
        ASSERT_TRUE(m_view->export_image(file("z.bmp")));
        EXPECT_TRUE(place_of(*m_view) == before) << "fit " << answer;
        EXPECT_EQ(m_view->size(), QSize(900, 200));
    }
}

// The failures of an export through its dialog name their cause; closing the image size
// question with Cancel writes nothing and reports nothing.
TEST_F(Export, FailuresNameTheirCause)
{
    open_demo();
    KSM_DATA_LOG* log = capture(512);
    VOKR_VIEW* view = m_editor->frame()->get_layout_widget()->get_current_view();
    const QString missing = file("missing/run"), folder = file("folder") + "/";
    ASSERT_TRUE(QDir().mkpath(folder));
    // A name of no file (empty, or a folder's) is refused before the dialog closes, never made
    // into a hidden ".csv".
    const struct {
        int format;
        QString name, shown;
        bool closes;
    } cases[] = {{0, missing, missing + ".csv", true},
                 {2, missing, missing + ".vcd", true},
                 {3, missing, missing + ".bmp", true},
                 {4, missing, missing + ".jpg", true},
                 {0, "", "", false},
                 {0, folder, folder, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        MSG_JOURNAL::clear();
        VOKR_EXPORT_DLG dialog(log, m_editor->frame(), nullptr, m());
        dialog.format_combo()->setCurrentIndex(c.format);
        dialog.file_field()->setText(c.name);
        dialog.accept();
        const auto shown = MSG_JOURNAL::records_of("prompted");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].identifier, "VOKR_EXPORT_NOT_WRITTEN");
        const QString text = QString::fromStdString(shown[0].text);
        EXPECT_TRUE(text.startsWith("Cannot export data to file \"" + c.shown + "\" -- ")) << text.toStdString();
        EXPECT_GT(text.size(), text.indexOf(" -- ") + 4) << "a reason follows";
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.closes);
    }
    EXPECT_FALSE(QFile::exists(folder + ".csv") || QFile::exists(".csv"));
    // A log without samples says so, and writes nothing.
    MSG_JOURNAL::clear();
    VOKR_EXPORT_DLG empty(m()->get_session()->create_new_log(0), m_editor->frame(), nullptr, m());
    empty.file_field()->setText(file("empty"));
    empty.accept();
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_FAILED_EXPORT"});
    EXPECT_FALSE(QFile::exists(file("empty.csv")));
    while (view->get_total_width() <= VOKR_VIEW::IMAGE_WIDTH_LIMIT)
        view->on_zoom_in();
    MSG_JOURNAL::clear();
    QString choices;
    QTimer::singleShot(0, [&] {
        QWidget* question = QApplication::activeModalWidget();
        ASSERT_TRUE(question);
        choices = question->windowTitle();
        for (const char* name : {"maintain_spacing", "fit_all"})
            if (question->findChild<QAbstractButton*>(name))
                choices += QString(" ") + name;
        for (QAbstractButton* button : question->findChildren<QAbstractButton*>())
            if (button->text() == "Cancel") {
                choices += " Cancel";
                button->click();
            }
        if (question->isVisible())
            static_cast<QDialog*>(question)->reject();
    });
    VOKR_EXPORT_DLG dialog(log, m_editor->frame(), nullptr, m());
    dialog.format_combo()->setCurrentIndex(3);
    dialog.file_field()->setText(file("wide"));
    dialog.accept();
    EXPECT_EQ(choices, "Image Size Limit Reached maintain_spacing fit_all Cancel");
    EXPECT_TRUE(MSG_JOURNAL::records_of("prompted").empty());
    EXPECT_FALSE(QFile::exists(file("wide.bmp")));
}

// An image of every sample ("fit all") leaves the view as the user had it: the same zoom, scroll
// position and picture.
TEST_F(Export, FitAllImageKeepsTheUsersView)
{
    open_demo();
    capture(512);
    m_view->fit_answer = 1;
    while (m_view->get_total_width() <= VOKR_VIEW::IMAGE_WIDTH_LIMIT && m_view->zoom_in(nullptr))
        m_view->resizeEvent(nullptr);
    m_view->get_horizontal_bar()->setValue(m_view->get_horizontal_bar()->maximum() / 3);
    const auto shown = [this] {
        QImage image(m_view->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        QRect area = m_view->rect();
        m_view->paint(&painter, 0, m_view.get(), &area, true);
        return std::make_tuple(m_view->get_first_visible_sample(), m_view->get_visible_end_sample(), image);
    };
    const auto before = shown();
    ASSERT_GT(std::get<0>(before), 0);
    ASSERT_TRUE(m_view->export_image(file("fit.bmp")));
    EXPECT_EQ(QImage(file("fit.bmp")).width(), VOKR_VIEW::IMAGE_WIDTH_LIMIT);
    const auto after = shown();
    EXPECT_EQ(std::get<0>(after), std::get<0>(before));
    EXPECT_EQ(std::get<1>(after), std::get<1>(before));
    EXPECT_TRUE(std::get<2>(after) == std::get<2>(before));
}

TEST_F(Export, ListFileLegendColumnsAndLabels)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        add_rows(m(), {name});
    ASSERT_TRUE(data()->group_nodes(2, 3));
    capture(12, 2, 1);
    const QString out = file("list.txt");
    m_view->show_list_view(out);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLocal8Bit(f.readAll()).split('\n');
    EXPECT_EQ(lines.mid(0, 5), (QStringList{"Signal Legend:", "", "Key        Signal Name", "", "0        = a"}));
    EXPECT_TRUE(lines.contains("1        = b [failed connection]"));
    const int keys = lines.indexOf(QRegularExpression("^Signals-> .*"));
    ASSERT_GT(keys, 0);
    EXPECT_EQ(lines[keys].left(14), "Signals-> 0 1 ");
    EXPECT_EQ(lines[keys + 2], "sample");
    EXPECT_EQ(lines[keys + 4].left(14), "-2        " + QString(bit(0, 0) ? "1" : "0") + " x ");
    EXPECT_EQ(lines[keys + 6].left(10), "0         ");
    EXPECT_FALSE(m()->is_list_view_mode());
    // Segmented: sample 1500 of segments of 1024 is labelled 1/476.
    capture(1501, 0, -1, 1024);
    m_view->show_list_view(out);
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList segmented = QString::fromLocal8Bit(f.readAll()).split('\n');
    ASSERT_EQ(segmented.value(keys + 2), "segment/");
    EXPECT_EQ(segmented.value(keys + 5 + 1500).left(10), "1/476     ");
    // Samples never captured (40 to 43) are x in every column, bits and buses alike.
    for (int s : {39, 41}) {
        const QStringList values = segmented.value(keys + 5 + s).mid(10).split(' ', Qt::SkipEmptyParts);
        ASSERT_GT(values.size(), 3);
        EXPECT_EQ(values.count("x"), s == 41 ? values.size() : 0) << s;
    }
    // Unwritable: reported, nothing opened.
    MSG_JOURNAL::clear();
    EXPECT_FALSE(m_view->create_list_file(file("no/such/dir/list.txt")));
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_LIST_NOT_WRITTEN"});
    // A write that fails half way, in stretches of one sample: reported, the file before kept whole.
    QFile before(out);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray kept = before.readAll();
    const QStringList files = QDir(file("")).entryList(QDir::Files);
    const size_t budget = VOKR_LIST_FILE::set_budget(1);
    MSG_JOURNAL::clear();
    {
        FILE_SIZE_LIMIT limit(kept.size() / 2);
        ASSERT_TRUE(limit.is_set());
        EXPECT_FALSE(m_view->create_list_file(out));
    }
    VOKR_LIST_FILE::set_budget(budget);
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_LIST_NOT_WRITTEN"});
    QFile after(out);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll() == kept);
    EXPECT_EQ(QDir(file("")).entryList(QDir::Files), files) << "nothing left beside it";
}

// List files keep the bytes they had when their hashes were recorded: single bits (one inverted),
// an expanded bus with a member inverted, a collapsed bus in decimal, a bus read least
// significant bit first in binary, a bus shown through a mnemonic table (one value without a
// symbol) and a 70-bit bus, over samples never captured; with a trigger, with a single bit's
// channel and then a bus member's not connected, in segments, with time units and with no
// samples captured.
TEST_F(Export, ListFileKeepsItsBytes)
{
    add_rows(m(), {"a", "b", "c", "h3", "h2", "h1", "h0", "u2", "u1", "u0", "l1", "l0", "s1", "s0"});
    for (int i = 0; i < 70; ++i)
        add_rows(m(), {("w" + std::to_string(i)).c_str()});
    for (const auto& [first, last] : {std::pair{14, 83}, {12, 13}, {10, 11}, {7, 9}, {3, 6}})
        ASSERT_TRUE(data()->group_nodes(first, last));
    ASSERT_TRUE(data()->set_signal_inverted(1, true) && data()->set_signal_inverted(6, true));
    ASSERT_TRUE(data()->set_group_display_type(8, KSM_GTYPE_UNSIGNED) && data()->toggle_node(8));
    ASSERT_TRUE(data()->set_group_display_type(12, KSM_GTYPE_BINARY) && data()->set_lsb_to_msb(12, true));
    // A symbol of two bytes and one character in UTF-8, the locale's encoding for this test.
    QTextCodec* const codec = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    m()->create_mnemonic_table(15, "st", {"idle", "run", "\u00b5s"}, {"00", "01", "11"});
    const struct {
        int depth, trigger, dead, segment;
        bool time_units;
        uint64_t hash;
    } cases[] = {{300, 20, -1, 0, false, 6764982047941291342ull}, {5000, 700, 2, 0, false, 18360982413070479326ull},
                 {700, 0, 5, 0, false, 14630388675222617472ull},  {4096, 100, -1, 1024, false, 4707800131633057560ull},
                 {300, 100, -1, 0, true, 83173713731034710ull},   {0, 0, -1, 0, false, 4646092649526092678ull}};
    const size_t most = VOKR_LIST_FILE::set_budget(1);
    for (const auto& c : cases) {
        m_view->set_time_units(c.time_units, 2.5, "ns");
        if (c.depth > 0)
            capture(c.depth, c.trigger, c.dead, c.segment);
        else
            m()->set_view_log(0, m()->get_session()->create_new_log(0));
        // Written in stretches as long as the budget allows, then of one sample each.
        for (const size_t budget : {most, size_t(1)}) {
            VOKR_LIST_FILE::set_budget(budget);
            ASSERT_TRUE(m_view->create_list_file(file("k.txt")));
            QFile list(file("k.txt"));
            ASSERT_TRUE(list.open(QIODevice::ReadOnly));
            uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
            for (const char byte : list.readAll())
                hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ull;
            EXPECT_EQ(hash, c.hash) << c.depth << " " << budget;
        }
    }
    VOKR_LIST_FILE::set_budget(most);
    QTextCodec::setCodecForLocale(codec);
}

// A list file of a wide bus whose value changes at almost every sample, written on a budget of
// 2 MB: its memory stays within twice the budget (the stretches' lines and their buses' texts),
// where keeping every text of the bus at once would take 34 MB.
TEST_F(Export, ListFileStaysWithinItsMemoryBudget)
{
    constexpr int WIDTH = 512, DEPTH = 1 << 15;
    constexpr double BUDGET_MB = 2;
    data()->set_linked_edits(false);
    for (int i = 0; i < WIDTH; ++i)
        data()->insert_node(("b" + std::to_string(i)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, true);
    ASSERT_TRUE(data()->group_nodes(0, WIDTH - 1));
    ASSERT_TRUE(data()->set_group_display_type(0, KSM_GTYPE_BINARY) && data()->toggle_node(0));
    capture(DEPTH);
    const size_t budget = VOKR_LIST_FILE::set_budget(size_t(BUDGET_MB * (1 << 20)));
    malloc_trim(0);
    reset_peak();
    [[maybe_unused]] const double before = peak_mb();
    const bool written = m_view->create_list_file(file("budget.txt"));
    [[maybe_unused]] const double rise = peak_mb() - before;
    VOKR_LIST_FILE::set_budget(budget);
    ASSERT_TRUE(written);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their shadow memory adds to the peak
    EXPECT_LT(rise, 4 * BUDGET_MB) << "MB over the open session";
#endif
}

// Every line of the list file agrees with the value column at that sample: single bits and the
// members of an expanded bus, inverted or not, and the bus's value.
TEST_F(Export, ListFileAgreesWithTheValueColumn)
{
    for (const char* name : {"a", "b", "m2", "m1", "m0", "c"})
        add_rows(m(), {name});
    ASSERT_TRUE(m()->group_node(2, 4));  // the bus row is 2, its members 3..5
    for (int inverted : {1, 4, 5})
        ASSERT_TRUE(data()->set_signal_inverted(inverted, true));
    const int depth = 40, rows = data()->get_num_nodes();  // every sample valid
    capture(depth);
    const QString out = file("list.txt");
    m_view->show_list_view(out);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLocal8Bit(f.readAll()).split('\n');
    const int first = lines.indexOf(QRegularExpression("^Signals-> .*")) + 4;
    for (int s = 0; s < depth; ++s) {
        m_view->on_delete_all_time_bars();
        m_view->set_context_sample(s);
        m_view->on_insert_master_time_bar();
        PAINT_RECORDER recorder;
        {
            QPainter painter(&recorder);
            QRect area = m_view->rect();
            m_view->paint(&painter, 0, m_view.get(), &area, true);
        }
        QStringList shown{QString::number(s)};  // the sample's label, then a cell per row
        for (int node = 0; node < rows; ++node) {
            QRect cell;
            m_view->get_item_rect(VOKR_VIEW::node_to_row(node), VOKR_VIEW::VALUE_COLUMN, &cell);
            QString text;
            for (const auto& t : recorder.texts())
                text = cell.contains(t.baseline) ? t.text : text;
            shown << text;
        }
        EXPECT_EQ(lines.value(first + s).simplified().toStdString(), shown.join(' ').toStdString());
    }
}

TEST_F(Export, PrintsPagesToPdf)
{
    for (int i = 0; i < 70; ++i)
        add_rows(m(), {QString("node%1").arg(i).toLatin1().constData()});
    capture(128);
    // Rows per page 0 counts as 1 (one row on each of 70 x 5 pages), never a division by zero.
    const struct {
        int from, to, rows, pages;
    } cases[] = {{0, 0, 0, 350}, {2, 2, 35, 1}, {0, 0, 35, 10}};
    for (const auto& c : cases) {
        m()->set_row_pp(c.rows);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file("p.pdf"));
        printer.setFromTo(c.from, c.to);
        m_view->on_print(&printer);
        if (!have("pdfinfo") || !have("pdftotext"))
            GTEST_SKIP() << "pdfinfo/pdftotext (Debian package poppler-utils) not installed";
        EXPECT_TRUE(
            run("pdfinfo", {file("p.pdf")}).contains(QRegularExpression(QString("Pages:\\s+%1\\n").arg(c.pages))))
            << c.from << " " << c.rows;
    }
    const QString text = run("pdftotext", {"-f", "6", "-l", "6", file("p.pdf"), "-"});
    for (const char* word : {"Row", "Name", "node35", "node69"})
        EXPECT_TRUE(text.contains(word)) << word;
    EXPECT_FALSE(text.contains("node34"));
    // Pages wide and tall of 0 count as 1: everything on one page.
    m()->set_page_fit_type(1), m()->set_pages_wide(0), m()->set_pages_tall(0);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file("fit.pdf"));
    m_view->on_print(&printer);
    EXPECT_TRUE(run("pdfinfo", {file("fit.pdf")}).contains(QRegularExpression("Pages:\\s+1\\n")));
}

// A print to a file that fails keeps the file that was there, leaves no temporary file beside it
// and says why: a missing folder, a file-size limit reached halfway.
TEST_F(Export, FailedPrintKeepsTheFileAndSaysWhy)
{
    for (int i = 0; i < 70; ++i)
        add_rows(m(), {QString("node%1").arg(i).toLatin1().constData()});
    capture(1024);
    const QString kept = file("kept.pdf");
    const struct {
        QString target;
        rlim_t size_limit;
        const char* reason;
    } cases[] = {{file("missing/p.pdf"), RLIM_INFINITY, "cannot open its folder: No such file or directory"},
                 {kept, 20000, "File too large"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        write_file(kept, "%PDF-1.4 an earlier print\n");
        MSG_JOURNAL::clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(c.target);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit limited = before;
        limited.rlim_cur = std::min(c.size_limit, before.rlim_max);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
        m_view->on_print(&printer);
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(printer.outputFileName(), c.target);
        const auto shown = MSG_JOURNAL::records_of("prompted");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "Cannot print to file \"" + c.target.toStdString() + "\" -- " + c.reason);
        QFile old(kept);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), "%PDF-1.4 an earlier print\n");
        EXPECT_EQ(QDir(file("")).entryList({"kept.pdf*"}), QStringList{"kept.pdf"});
    }
}

// Prints the pages from..to (0: all) of the view to a PDF file.
void print_pdf(VOKR_VIEW* view, const QString& pdf, int from = 0, int to = 0)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setFromTo(from, to);
    view->on_print(&printer);
}

// A page as poppler renders it: the pixels in the bits' greens (the only saturated colours of a
// print), and the bus value texts ("2h").
struct PAGE_INK {
    int green = 0;
    QStringList values;
};

PAGE_INK page_ink(const QString& pdf, int page)
{
    const QString n = QString::number(page), png = pdf + "-" + n;
    run("pdftoppm", {"-r", "50", "-f", n, "-l", n, "-png", "-singlefile", pdf, png});
    const QImage image(png + ".png");
    PAGE_INK ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)).hsvSaturation() > 80)
                ++ink.green;
    const QString text = run("pdftotext", {"-f", n, "-l", n, pdf, "-"});
    ink.values = text.split(QRegularExpression("\\s+")).filter(QRegularExpression("^[0-9A-F]+h$"));
    return ink;
}

// The labels of a printed page's ruler as poppler places them, left to right; with two rulers in
// the header, those of the upper one first.
struct RULER_LABEL {
    int value;
    double left, right, top;
    double centre() const { return (left + right) / 2; }
};

std::vector<RULER_LABEL> ruler_labels(const QString& pdf, int page)
{
    const QString n = QString::number(page);
    const QString html = run("pdftotext", {"-bbox", "-f", n, "-l", n, pdf, "-"});
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<RULER_LABEL> numbers;
    double rows_top = 1e9;  // the first row number's top: the header lies above it
    double row_right = 0;   // the "Row" title's right edge
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        bool number = false;
        const RULER_LABEL label{m.captured(5).toInt(&number), m.captured(1).toDouble(), m.captured(3).toDouble(),
                                m.captured(2).toDouble()};
        if (m.captured(5) == "Row")
            row_right = label.right;
        else if (m.captured(5) == "1" && label.right < row_right + 5)
            rows_top = std::min(rows_top, label.top);
        else if (number)
            numbers.push_back(label);
    }
    std::vector<RULER_LABEL> out;
    std::copy_if(numbers.begin(), numbers.end(), std::back_inserter(out),
                 [&](const RULER_LABEL& l) { return l.top < rows_top - 1; });
    std::sort(out.begin(), out.end(), [](const RULER_LABEL& a, const RULER_LABEL& b) {
        return std::tie(a.top, a.left) < std::tie(b.top, b.left);
    });
    return out;
}

// The printed ruler steps by what the page's width holds, whatever the screen's zoom: its labels
// keep apart, and every page, the last one of a few samples too, spreads a sample over the same
// width.
TEST_F(Export, PrintedRulersKeepTheirLabelsApartAtOneScale)
{
    if (!have("pdftotext"))
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) not installed";
    add_rows(m(), {"a", "b"});
    capture(128);                // 5 pages across, the last of 8 samples
    std::vector<double> widths;  // of a sample, in points
    for (int zoom_ins : {0, 8}) {
        for (int i = 0; i < zoom_ins; ++i)
            m_view->on_zoom_in();
        print_pdf(m_view.get(), file("ruler.pdf"));
        for (int page : {1, 5}) {
            const std::vector<RULER_LABEL> labels = ruler_labels(file("ruler.pdf"), page);
            ASSERT_GE(labels.size(), 3u) << zoom_ins << " zoom-ins, page " << page;
            for (size_t i = 1; i < labels.size(); ++i) {
                EXPECT_LT(labels[i - 1].right, labels[i].left) << zoom_ins << " zoom-ins, page " << page;
                if (i > 1)  // the first label is kept inside the page's ruler, off its tick
                    widths.push_back((labels[i].centre() - labels[i - 1].centre()) /
                                     (labels[i].value - labels[i - 1].value));
            }
        }
    }
    const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
    EXPECT_LT(*widest - *narrowest, 0.05 * *narrowest);
}

// A segmented capture prints its segment ruler above the sample ruler: the page's first sample
// and each segment's trigger, as sample numbers from the first trigger.
TEST_F(Export, PrintedSegmentRulerMarksTheSegmentsTriggers)
{
    if (!have("pdftotext"))
        GTEST_SKIP() << "pdftotext (Debian package poppler-utils) not installed";
    add_rows(m(), {"a", "b"});
    KSM_DATA_LOG* log = capture(64, 4, -1, 16);
    log->set_trigger_positions({4, 20, 36, 52});
    print_pdf(m_view.get(), file("segments.pdf"));
    std::vector<int> upper;
    const std::vector<RULER_LABEL> labels = ruler_labels(file("segments.pdf"), 1);
    for (const RULER_LABEL& l : labels)
        if (l.top < labels.front().top + 1)
            upper.push_back(l.value);
    EXPECT_EQ(upper, (std::vector<int>{-4, 0, 16}));
    EXPECT_GT(labels.size(), upper.size());  // the sample ruler below
}

// Samples never captured print blank, as the Data tab shows them: a page of them has no level of
// a bit and no value of a bus, where the page before has both.
TEST_F(Export, PrintLeavesSamplesNeverCapturedBlank)
{
    if (!have("pdftoppm") || !have("pdftotext"))
        GTEST_SKIP() << "pdftoppm/pdftotext (Debian package poppler-utils) not installed";
    add_rows(m(), {"a", "b", "c", "d"});
    ASSERT_TRUE(data()->group_nodes(2, 3));
    capture(64);  // samples 40 to 43 never captured
    m()->set_row_pp(40), m()->set_column_pp(4);
    print_pdf(m_view.get(), file("gap.pdf"));
    const PAGE_INK captured = page_ink(file("gap.pdf"), 10), never = page_ink(file("gap.pdf"), 11);
    EXPECT_GT(captured.green, 0);
    EXPECT_FALSE(captured.values.isEmpty());
    EXPECT_EQ(never.green, 0);
    EXPECT_EQ(never.values, QStringList());
}

// Aliases of 95 and 8,000 characters leave the Name column and the waveforms on the page.
TEST_F(Export, PrintCapsLongAliases)
{
    if (!have("pdftoppm") || !have("pdftotext"))
        GTEST_SKIP() << "pdftoppm/pdftotext (Debian package poppler-utils) not installed";
    add_rows(m(), {"alpha", "beta"});
    ASSERT_TRUE(data()->set_node_alias(0, std::string(95, 'q').c_str()));
    ASSERT_TRUE(data()->set_node_alias(1, std::string(8000, 'w').c_str()));
    capture(32);
    print_pdf(m_view.get(), file("alias.pdf"));
    const PAGE_INK ink = page_ink(file("alias.pdf"), 1);
    EXPECT_GT(ink.green, 0) << "the waveforms are on the page";
    const QString text = run("pdftotext", {"-f", "1", "-l", "1", file("alias.pdf"), "-"});
    for (const char* word : {"Alias", "Name", "alpha", "beta"})
        EXPECT_TRUE(text.contains(word)) << word;
}

// The list file's default name keeps the session's directory; the viewer gets that path as its
// one argument, so shell metacharacters in the session name run nothing.
TEST_F(Export, ListFileOpensInAViewerWithoutAShell)
{
    open_demo();
    const QString session = file("run;touch pwned $(id).lmx");
    ASSERT_TRUE(QFile::copy(file("demo.lmx"), session));
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(m()->open_document(session.toLocal8Bit().constData(), &renamed, &name));
    capture(16);
    const QString args = file("args.txt"), viewer = file("viewer.sh");
    write_file(viewer, QString("#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '%1'\n").arg(args).toLocal8Bit());
    QFile::setPermissions(viewer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    VOKR_VIEW::set_list_file_viewer(viewer);
    const QString expected = file("run;touch pwned $(id)_") + m()->get_instance() + ".txt";
    EXPECT_EQ(m_view->default_list_file_name(), expected);
    m_view->show_list_view(QString());
    VOKR_VIEW::set_list_file_viewer(QString());
    for (int wait = 0; wait < 100 && !QFile::exists(args); ++wait)
        QThread::msleep(50);
    QFile f(args);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(f.readAll()), "1|" + expected + "|");
    EXPECT_TRUE(QFile::exists(expected));
    EXPECT_FALSE(QFile::exists("pwned") || QFile::exists(file("pwned")));
}

}  // namespace
