// The list file command: the file written (VOKR_LIST_FILE) and opened in a viewer.
#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_list_file.h"
#include "vokr_msg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QString g_viewer = "xdg-open";

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
    const QString refusal = !log || !set ? QString("there is no data log") : m_tx_manager->write_target_refusal(path);
    if (!refusal.isEmpty())
        return list_not_written(path, refusal, failure);
    VOKR_LIST_FILE::LABEL time_label;
    if (is_using_time_units() && get_time_period() > 0.0)
        time_label = [this](int value) {
            QString text;
            format_sample_value(&text, value, false, false);
            return text;
        };
    VOKR_LIST_FILE list(m_tx_manager, set, log, m_tx_manager->get_data_segment_size(), std::move(time_label));
    // The old file stays unless the whole new one, and its folder, reach the disk.
    std::string reason;
    if (!ksm_replace_file(
            QFile::encodeName(path).toStdString(), [&](QIODevice* file) { return list.write(file); }, &reason))
        return list_not_written(path, QString::fromLocal8Bit(reason.c_str()), failure);
    return true;
}
