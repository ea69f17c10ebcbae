// The demo project loads, and the demo session is what the editor makes of it: this test
// builds the session the way an engineer would and compares it with the one in examples/demo.
// KORVANE_UPDATE_DEMO=1 writes the built session there instead.
#include "ksm_test_session.h"
#include "manager_test_support.h"

#include "jop.h"
#include "toz.h"

#include <QFile>

#include <cctype>
#include <cstdlib>
#include <random>

#ifndef VOKR_EXAMPLES_DIR
#error "VOKR_EXAMPLES_DIR must name the examples directory"
#endif

using namespace manager_test;

namespace {

const QString DEMO = QString(VOKR_EXAMPLES_DIR) + "/demo/";

PIRQ_INSTANCE_NAME_LIST chosen(const QStringList& names, const char* title)
{
    PIRQ_INSTANCE_NAME_LIST list;
    for (const QString& n : names) {
        PIRQ_INSTANCE_NAME name;
        EXPECT_TRUE(tevq_make_instance_name(n, title, &name)) << n.toStdString();
        list << name;
    }
    return list;
}

TEST(DemoProject, LoadsIntoTheDesignDatabases)
{
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open((DEMO + "demo.kproj").toStdString(), &error)) << error;
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    EXPECT_EQ(project->get_top(), "demo_top");
    PIRQ_INSTANCE_NAME bus;
    ASSERT_TRUE(tevq_make_instance_name("demo_top|cpu|pc", PRE_TITLE, &bus));
    EXPECT_EQ(bus.get_kind(), 1);
    int first = 0, last = 0;
    bus.get_first_dimension(&first, &last);
    EXPECT_EQ(first, 15);
    EXPECT_EQ(last, 0);
    PIRQ_INSTANCE_NAME array;
    ASSERT_TRUE(tevq_make_instance_name("demo_top|cpu|regfile|regs", PRE_TITLE, &array));
    EXPECT_EQ(array.get_kind(), 2);
    PIRQ_INSTANCE_NAME probe;
    EXPECT_FALSE(tevq_make_instance_name("demo_top|debug|probe", PRE_TITLE, &probe));
    ASSERT_TRUE(tevq_make_instance_name("demo_top|debug|probe", POST_TITLE, &probe));
    EXPECT_TRUE(probe.get_flags() & TOZ_FLAG_POST_FITTING);
    PRJ_PROJECT::close();
}

TEST(DemoProject, DamagedDescriptionsAreRefusedWithFileAndLine)
{
    QTemporaryDir dir;
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"top t\nnode a input pre\nnode a input pre\n", "line 3: node \"a\" is given twice"},
        {"top t\nfrobnicate 3\n", "line 2: unknown statement \"frobnicate\""},
        {"top t\nnode a[7..] input pre\n", "line 2: \"a[7..]\" is not a node path"},
        {"top t\nnode a input\n", "line 2: node \"a\" is in neither database"},
        {"top t\npartition cpu type x netlist source\n", "line 2: \"x\" is not a number"},
        {"top t\nproject \"open quote\n", "line 2: a quote is not closed"},
        {"node a input pre\n", "names no top entity"},
        {"top t\nnode a[4294967296..0] input pre\n", "line 2: \"4294967296\" is not a bus index"},
        {"top t\nnode a[0..-99999999999] input pre\n", "line 2: \"-99999999999\" is not a bus index"},
        {"top t\nnode big[2147483647..-2147483648] input pre\n", "line 2: node \"big\" has 4294967296 members"},
        {"top t\nnode big[20000000..0] input pre\n", "line 2: node \"big\" has 20000001 members"},
        {"top t\nnode m[2047..0][0..1023] input pre\n", "line 2: node \"m\" has 2097152 members, more than 1048576"},
        {"top t\nnode a[524287..0] input pre\nnode b[0..524288] input pre\n",
         "line 3: node \"b\" brings the members of all nodes to more than 1048576"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath("bad.kproj");
        ASSERT_NO_FATAL_FAILURE(write_file(path, c.text));
        std::string error;
        EXPECT_FALSE(PRJ_PROJECT::open(path.toStdString(), &error)) << c.text;
        EXPECT_NE(error.find("bad.kproj"), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(PRJ_PROJECT::get_open(), nullptr);
    }
}

// Damaged copies of the demo project, reshaped line by line, with words swapped between
// lines or numbers from the edges of their ranges, are read or refused with the file and the
// line; never do they crash, hang or take gigabytes. PRJ_FUZZ_ITERATIONS and PRJ_FUZZ_SEED make
// longer or other runs.
TEST(DemoProject, RandomDamageIsReadOrRefused)
{
    QFile demo(DEMO + "demo.kproj");
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = demo.readAll().split('\n');
    static const char* const numbers[] = {
        "0", "-1", "1", "4095", "1048576", "2147483647", "-2147483648", "4294967296", "-99999999999999999999", "x", ""};
    const int iterations = env_number("PRJ_FUZZ_ITERATIONS", 100);
    const unsigned seed = static_cast<unsigned>(env_number("PRJ_FUZZ_SEED", 20240611));
    std::mt19937 rng(seed);
    auto below = [&rng](int n) { return n > 0 ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0; };
    QTemporaryDir dir;
    const QString path = dir.filePath("mutant.kproj");
    int accepted = 0;
    for (int i = 0; i < iterations; ++i) {
        QList<QByteArray> text = lines;
        for (int m = 1 + below(4); m > 0 && !text.isEmpty(); --m) {
            const int at = below(text.size());
            QByteArray& line = text[at];
            QList<QByteArray> words = line.split(' ');
            QList<QByteArray> others = text[below(text.size())].split(' ');
            switch (below(6)) {
            case 0: text.insert(below(text.size()), QByteArray(line)); break;
            case 1: text.move(at, below(text.size())); break;
            case 2: text.removeAt(at); break;
            case 3:
                words[below(words.size())] = others[below(others.size())];
                line = words.join(' ');
                break;
            case 4: {
                std::vector<int> starts;
                for (int k = 0; k < line.size(); ++k)
                    if (std::isdigit(static_cast<unsigned char>(line[k])) &&
                        (k == 0 || !std::isdigit(static_cast<unsigned char>(line[k - 1]))))
                        starts.push_back(k);
                if (starts.empty())
                    break;
                const int start = starts[below(static_cast<int>(starts.size()))];
                int end = start;
                while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
                    ++end;
                line.replace(start, end - start, numbers[below(sizeof numbers / sizeof *numbers)]);
                break;
            }
            default: line.insert(below(line.size() + 1), "[]\".#|- "[below(8)]); break;
            }
        }
        ASSERT_NO_FATAL_FAILURE(write_file(path, text.join('\n')));
        SCOPED_TRACE("iteration " + std::to_string(i) + " of seed " + std::to_string(seed));
        std::string error;
        if (PRJ_PROJECT::open(path.toStdString(), &error)) {
            ++accepted;
            PRJ_PROJECT::close();
            continue;
        }
        ASSERT_NE(error.find(path.toStdString()), std::string::npos) << error;
        ASSERT_TRUE(error.find(" at line ") != std::string::npos || error.find("top entity") != std::string::npos)
            << error;
    }
    RecordProperty("accepted", accepted);
}

TEST(DemoSession, IsWhatTheEditorMakesOfTheDemoProject)
{
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open((DEMO + "demo.kproj").toStdString(), &error)) << error;
    VOKR_TX_MANAGER manager(nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath("demo.lmx");
    ASSERT_TRUE(manager.new_document(path.toLocal8Bit().constData()));
    manager.set_using_pre_synthesis_filter(true);
    manager.insert_nodes(chosen({"demo_top|cpu|pc", "demo_top|cpu|fsm|state", "demo_top|led",
                                 "demo_top|mem_ctrl|fifo|full", "demo_top|uart|tx|busy", "demo_top|cpu|alu|carry"},
                                PRE_TITLE));
    manager.set_clock("clk", VOKR_PRE_SYNTHESIS_NAME);
    KSM_TX_TRIGGER* trigger = manager.get_trigger_nodes(-1);
    trigger->set_trigger_condition(trigger->find_node("mem_ctrl|fifo|full"), 0, KSM_CTYPE_RISING_EDGE);
    manager.get_signal_nodes(-1)->set_sample_depth(1024);
    // Ready to capture: the bench's hardware and device chosen, and the design compiled.
    manager.set_jtag_hardware("USB-Cable", false);
    manager.set_jtag_device("MR2-C40", false);
    jop_record_compile(manager.get_session());
    // A layout that reads at 1280x800: the top panes at their least height and the hierarchy
    // and data-log panes closed (the View menu opens them) leave the node lists 20 rows and more.
    manager.set_size_state("jtag widget size", QSize(420, 118));
    manager.set_visible_state("hierarchy widget visible", false);
    manager.set_visible_state("data log widget visible", false);
    ASSERT_TRUE(manager.save_document(path.toLocal8Bit().constData()));

    QFile built(path);
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    const QByteArray bytes = built.readAll();
    const QString demo = DEMO + "demo.lmx";
    if (std::getenv("KORVANE_UPDATE_DEMO"))
        write_file(demo, bytes);
    QFile committed(demo);
    ASSERT_TRUE(committed.open(QIODevice::ReadOnly)) << "run with KORVANE_UPDATE_DEMO=1 to make it";
    EXPECT_EQ(committed.readAll(), bytes) << "the demo session differs from what the editor makes of the project";
    PRJ_PROJECT::close();
}

// The demo session as an earlier build saved it: its compile record holds that build's checksum
// of the trigger. It opens compiled; a record of another trigger still asks for a compile.
TEST(DemoSession, OneSavedByAnEarlierBuildOpensCompiledUnlessChangedSince)
{
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open((DEMO + "demo.kproj").toStdString(), &error)) << error;
    QFile earlier(VOKR_TEST_DATA_DIR "/demo_saved_earlier.lmx");
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    const QByteArray saved = earlier.readAll();
    QTemporaryDir dir;
    const QString path = dir.filePath("demo.lmx");
    for (const bool changed : {false, true}) {
        QByteArray bytes = saved;
        if (changed)  // a condition changed after the compile
            bytes.replace("slot=\"3\" condition=\"5\"", "slot=\"3\" condition=\"6\"");
        ASSERT_NE(bytes == saved, changed);
        write_file(path, bytes);
        VOKR_TX_MANAGER manager(nullptr);
        bool renamed = false;
        std::string name;
        ASSERT_TRUE(manager.open_document(path.toLocal8Bit().constData(), &renamed, &name));
        bool compile = false, reroute = false;
        EXPECT_EQ(manager.is_compile_or_reroute_needed(&compile, &reroute), changed);
        EXPECT_FALSE(manager.get_session()->is_modified());
        jop_record_compile(manager.get_session());  // the one compile it asks for is the last
        EXPECT_FALSE(manager.is_compile_or_reroute_needed(&compile, &reroute));
    }
    PRJ_PROJECT::close();
}

}  // namespace
