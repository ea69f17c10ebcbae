// The list file: a legend giving every listed row of the data node list a key, then one line per
// sample with the value of every keyed row in aligned columns ("x" where it is unknown).
#include "vokr_frame_wnd.h"
#include "vokr_msg.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QString g_viewer = "xdg-open";

// Decimal digits of a key or label part; 100000 and above count as 5.
int digits(int n) { return n >= 10000 ? 5 : n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1; }

// One keyed column of the file.
struct LIST_COLUMN {
    int row = -1;
    int key = 0;
    bool group = false;
    bool connected = false;
    int channel = -1;        // a single signal's or member's data wire
    bool inverted = false;   // the wire's bit is shown inverted, as the waveform shows it
    QVector<QString> texts;  // a group's value per sample
    int width = 1;
};

struct LIST_ROWS {
    std::vector<LIST_COLUMN> columns;
    QString legend;
};

bool is_member(KSM_DATA_NODE_DISPLAY_TYPE t) { return t == KSM_NTYPE_MEMBER || t == KSM_NTYPE_LAST_MEMBER; }

QString legend_line(int key, const QString& name, bool failed)
{
    return QString::number(key) + QString(8 - digits(key), ' ') + " = " + vokr_one_line(name) +
           (failed ? " [failed connection]" : "") + "\n";
}

// Member rows that follow `group`, and whether all of them were captured.
std::vector<int> members_of(const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log, int group, bool* connected)
{
    std::vector<int> rows;
    *connected = log->is_data_available(false);
    for (int r = group + 1; r < set->get_num_nodes() && is_member(set->get_display_type(r)); ++r) {
        rows.push_back(r);
        const int channel = set->get_channel(r);
        if (channel < 0 || !log->get_connection_status(channel))
            *connected = false;
    }
    return rows;
}

// The group's value texts over the whole depth, each member bit with its inversion applied; "x" at
// samples never captured.
void group_texts(VOKR_TX_MANAGER* m, const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log,
                 const std::vector<int>& members, int depth, LIST_COLUMN* column)
{
    std::string bits(members.size(), '0');
    column->texts.resize(depth);
    for (int s = 0; s < depth; ++s) {
        if (!log->is_bit_valid(s)) {
            column->texts[s] = "x";
            continue;
        }
        for (size_t k = 0; k < members.size(); ++k)
            bits[k] = char('0' + (log->get_bit(set->get_channel(members[k]), s) ^ set->is_signal_inverted(members[k])));
        VOKR_NUMBER number(bits.c_str());
        const char* first = nullptr;
        number.get_string(m, column->row, &first, true, true, nullptr, -1);
        column->texts[s] = QString::fromLocal8Bit(first ? first : "");
        column->width = std::max(column->width, int(column->texts[s].size()));
    }
}

LIST_ROWS collect_rows(VOKR_TX_MANAGER* m, const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log, int depth)
{
    LIST_ROWS out;
    bool listed_group = false;
    for (int row = 0, key = 0; row < set->get_num_nodes(); ++row) {
        const KSM_DATA_NODE_DISPLAY_TYPE type = set->get_display_type(row);
        const QString name = QString::fromLocal8Bit(set->get_node_name(row));
        LIST_COLUMN c;
        c.row = row, c.key = key;
        if (type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED) {
            listed_group = type == KSM_NTYPE_GROUP_EXPANDED;
            c.group = true;
            const std::vector<int> members = members_of(set, log, row, &c.connected);
            if (c.connected && !members.empty())
                group_texts(m, set, log, members, depth, &c);
            else
                c.texts.fill("x", depth);
            out.legend += legend_line(key, name, false);
        } else if (is_member(type) && !listed_group) {
            continue;
        } else {
            c.channel = set->get_channel(row);
            c.inverted = set->is_signal_inverted(row);
            c.connected = c.channel >= 0 && log->get_connection_status(c.channel);
            out.legend += legend_line(key, name, !c.connected);
        }
        c.width = std::max(c.width, digits(key));
        out.columns.push_back(std::move(c));
        ++key;
    }
    return out;
}

// The notice that the list file was not written, with the file and the reason in the Messages
// window and in `failure`.
bool list_not_written(const QString& path, const QString& reason, QString* failure)
{
    const QString text = QString("Cannot write list file \"%1\" -- %2").arg(QDir::toNativeSeparators(path), reason);
    MSG_E error(nullptr);
    error.fill_args("%1!s!/EVOKR_LIST_FILE_ERROR", text.toLocal8Bit().constData());
    error.post();
    vokr_prompt(vokr_msg_list_not_written());
    if (failure)
        *failure = text;
    return false;
}

}  // namespace

void VOKR_VIEW::set_list_file_viewer(const QString& program) { g_viewer = program; }
QString VOKR_VIEW::list_file_viewer() { return g_viewer; }

void VOKR_VIEW::show_list_view() { show_list_view(QString()); }

QString VOKR_VIEW::default_list_file_name() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    QString name = session && session->get_data_session()
                       ? QString::fromLocal8Bit(session->get_data_session()->get_name())
                       : QString();
    name = name.isEmpty() ? QString("LumetraList") : name.remove(".lmx");
    const char* instance = m_tx_manager->get_instance();
    return name + "_" + QString::fromLocal8Bit(instance ? instance : "") + ".txt";
}

bool VOKR_VIEW::show_list_view(const QString& path, QString* failure)
{
    PIRQ_WAIT_CURSOR wait;
    const QString file = path.isEmpty() ? default_list_file_name() : path;
    const bool written = create_list_file(file, failure);
    if (written && path.isEmpty() && !open_list_file(file)) {
        const QByteArray where = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()).toLocal8Bit();
        vokr_prompt(vokr_msg_successful_export(where.constData()));
    }
    m_tx_manager->set_list_view_mode(false);
    return written;
}

// Opens the file in the suite's editor when there is one, else in the configured viewer,
// started with the path as its only argument and never through a command interpreter. Another
// analyzer window is no text editor: it would take the file for a session in place of its own.
// False when nothing opened it: no viewer is set, or it did not start.
bool VOKR_VIEW::open_list_file(const QString& path)
{
    WEX_FRAME_WND* editor = wex_get_suite_main_window(m_frame_wnd);
    if (editor && !qobject_cast<VOKR_FRAME_WND*>(editor)) {
        editor->open_file(path, true, true, true, true, true);
        return true;
    }
    return !g_viewer.isEmpty() && QProcess::startDetached(g_viewer, {path});
}

bool VOKR_VIEW::create_list_file(const QString& path, QString* failure)
{
    m_tx_manager->set_list_view_mode(true);
    const KSM_TX_SIGNAL_SET* set = m_tx_manager->get_signal_nodes(-1);
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    QString refusal = !log || !set ? QString("there is no data log") : wex_save_refusal(path);
    QSaveFile file(path);
    if (refusal.isEmpty() && !file.open(QIODevice::WriteOnly | QIODevice::Text))
        refusal = file.errorString();
    if (!refusal.isEmpty())
        return list_not_written(path, refusal, failure);
    const bool available = log->is_data_available(false);
    const int depth = available ? log->get_data_sample_depth() : set->get_sample_depth();
    const int segment = m_tx_manager->get_data_segment_size();
    const int trigger = std::max(0, log->get_data_trigger_position(-1));
    const LIST_ROWS rows = collect_rows(m_tx_manager, set, log, depth);

    QTextStream out(&file);
    out << "Signal Legend:\n\nKey        Signal Name\n\n" << rows.legend << "\nData Table:\n\n";
    out << "Signals-> ";
    for (const LIST_COLUMN& c : rows.columns)
        out << c.key << QString(c.width - digits(c.key) + 1, ' ');
    out << "\n\n" << (segment > 0 ? "segment/\n" : "") << "sample\n\n";
    for (int s = 0; s < depth; ++s) {
        QString label;
        int length = 0;
        if (segment > 0) {
            label = QString::number(s / segment) + "/" + QString::number(s % segment);
            length = digits(s / segment) + digits(s % segment) + 1;
        } else {
            format_sample_value(&label, s - trigger, false, false);
            length = label.size();
        }
        QString line = label + QString(std::max(0, 10 - length), ' ');
        for (const LIST_COLUMN& c : rows.columns) {
            if (c.group)
                line += c.texts[s] + QString(c.width - c.texts[s].size() + 1, ' ');
            else if (available)
                line += QString(c.connected && log->is_bit_valid(s)
                                    ? QChar('0' + (log->get_bit(c.channel, s) != c.inverted))
                                    : QChar('x')) +
                        QString(c.width, ' ');
        }
        out << line << '\n';
    }
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        return list_not_written(path, file.errorString(), failure);
    return true;
}
