#include "wex.h"

#include "jop.h"
#include "msg.h"
#include "omu.h"
#include "pirq.h"
#include "prj.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QPrinter>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

std::vector<WEX_FRAME_WND*>& frames()
{
    static std::vector<WEX_FRAME_WND*> list;
    return list;
}

// Frames in the order they were last activated, the latest at the back.
std::vector<WEX_FRAME_WND*>& activation_order()
{
    static std::vector<WEX_FRAME_WND*> list;
    return list;
}

void forget(std::vector<WEX_FRAME_WND*>& list, WEX_FRAME_WND* frame)
{
    list.erase(std::remove(list.begin(), list.end(), frame), list.end());
}

// The simulated compile unless a test registers its own runner.
WEX_FLOW_RUNNER& flow_runner()
{
    static WEX_FLOW_RUNNER runner = jop_run_compile;
    return runner;
}

std::vector<WEX_FLOW_RECORD>& started_flows()
{
    static std::vector<WEX_FLOW_RECORD> list;
    return list;
}

bool regtest_mode = false;
int untitled_count = 0;

QString canonical(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

void wex_set_flow_runner(WEX_FLOW_RUNNER runner) { flow_runner() = std::move(runner); }

const std::vector<WEX_FLOW_RECORD>& wex_get_started_flows() { return started_flows(); }

void wex_clear_started_flows() { started_flows().clear(); }

WEX_FRAME_WND::WEX_FRAME_WND(QWidget* parent, unsigned int mode)
    : QMainWindow(parent), m_mode(mode), m_untitled_name(QString("Untitled%1").arg(++untitled_count))
{
    frames().push_back(this);
    activation_order().push_back(this);
    // The suite's own main window shows attached document windows in an area of its own.
    if (is_main_window())
        setCentralWidget(new QMdiArea(this));
    build_menu_set();
    build_standard_toolbars();
    update_title();
}

WEX_FRAME_WND::~WEX_FRAME_WND()
{
    forget(frames(), this);
    forget(activation_order(), this);
}

// ---- option pages -------------------------------------------------------------------------------------------

void WEX_FRAME_WND::add_option_page(PIRQ_PAGE_INFO* page) { m_option_pages.emplace_back(page); }

// ---- documents ----------------------------------------------------------------------------------------------

bool WEX_FRAME_WND::new_file()
{
    if (!save_modified(true))
        return false;
    m_untitled_name = QString("Untitled%1").arg(++untitled_count);
    m_state_flags |= WEX_FRAME_STATE_UNTITLED;
    m_document_title.clear();
    set_qstring_filepath(QString());
    return true;
}

// A file is read only where it is a regular file the user may read: opening a pipe or a device
// would wait for a writer, or read without end.
QString wex_open_refusal(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    const QByteArray name = QFile::encodeName(path);
    struct stat s;
    if (::stat(name.constData(), &s) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(s.st_mode))
        return QStringLiteral("it is a directory");
    if (!S_ISREG(s.st_mode))
        return QStringLiteral("it is not a regular file");
    if (::access(name.constData(), R_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

// A file that cannot be read is named with the reason in the Messages window and nothing changes.
bool WEX_FRAME_WND::open_file(const QString& path)
{
    const QString reason = wex_open_refusal(path);
    if (!reason.isEmpty()) {
        MSG_E error;
        error.fill_args("Can't open file %1!s!: %2!s!/EWEX_CANT_OPEN_FILE", path.toLocal8Bit().constData(),
                        reason.toLocal8Bit().constData());
        error.post();
        return false;
    }
    m_state_flags &= ~WEX_FRAME_STATE_UNTITLED;
    m_document_title.clear();
    set_qstring_filepath(path);
    return true;
}

bool WEX_FRAME_WND::open_file(const QString& path, bool, bool, bool, bool, bool) { return open_file(path); }

// A file is saved through a temporary file renamed over the old one: what is there must be a
// regular file (a device or a pipe would be replaced by a file), and the system must let the
// temporary file be made, found by opening it and cancelling: nothing is written or replaced.
QString wex_save_refusal(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("no file name");
    // A link that leads round in a loop names no file: a save would replace the link itself.
    struct stat s;
    if (::stat(QFile::encodeName(path).constData(), &s) != 0 && errno == ELOOP)
        return QString::fromLocal8Bit(std::strerror(errno));
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return QStringLiteral("it is not a regular file");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().isEmpty() ? QStringLiteral("the file cannot be created") : file.errorString();
    file.cancelWriting();
    return QString();
}

// The file itself is written by the frame kind that knows the document; here only its place
// is checked.
bool WEX_FRAME_WND::save_file(const QString& path)
{
    const QString reason = wex_save_refusal(path);
    if (!reason.isEmpty()) {
        MSG_E error;
        error.fill_args("Can't save file %1!s!: %2!s!/EWEX_CANT_SAVE_FILE", path.toLocal8Bit().constData(),
                        reason.toLocal8Bit().constData());
        error.post();
        return false;
    }
    return true;
}

bool WEX_FRAME_WND::save_modified(bool ask)
{
    if (!isWindowModified())
        return true;
    if (ask) {
        MSG_YNC question;
        const QString name = m_filepath.isEmpty() ? m_untitled_name : QFileInfo(m_filepath).fileName();
        question.fill_args("Do you want to save the changes to %1!s!?/YNCWEX_SAVE_CHANGES",
                           name.toLocal8Bit().constData());
        const MSG_PROMPT::MSG_VALUE answer = question.prompt();
        if (answer == MSG_PROMPT::MSG_VALUE_CANCEL)
            return false;
        if (answer == MSG_PROMPT::MSG_VALUE_NO)
            return true;
    }
    return m_filepath.isEmpty() ? save_as(QString()) : save_file(m_filepath);
}

bool WEX_FRAME_WND::save_as(const QString& path)
{
    QString target = path;
    if (target.isEmpty()) {
        PIRQ_FILE_DLG dialog(this, "Save As");
        dialog.setNameFilter(get_file_filter());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(m_filepath.isEmpty() ? m_untitled_name : m_filepath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        target = dialog.selectedFiles().first();
    }
    return save_file(target);
}

void WEX_FRAME_WND::on_open_action()
{
    PIRQ_FILE_DLG dialog(this, "Open File");
    dialog.setNameFilter(get_file_filter());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const QString& file : dialog.selectedFiles()) {
        PIRQ_WAIT_CURSOR wait;
        if (!find_open_file(file, true) && save_modified(true))
            open_file(file, false, false, false, true, true);
    }
}

bool WEX_FRAME_WND::find_open_file(const QString& path, bool activate) const
{
    const QString wanted = canonical(path);
    for (WEX_FRAME_WND* frame : frames()) {
        if (frame == this || frame->m_filepath.isEmpty() || canonical(frame->m_filepath) != wanted)
            continue;
        if (activate)
            frame->activateWindow();
        return true;
    }
    return false;
}

void WEX_FRAME_WND::set_qstring_filepath(const QString& path)
{
    m_filepath = path;
    if (!path.isEmpty())
        m_state_flags &= ~WEX_FRAME_STATE_UNTITLED;
    update_title();
}

void WEX_FRAME_WND::set_window_title(const QString& name)
{
    m_document_title = name;
    update_title();
}

void WEX_FRAME_WND::modified() { update_title(); }

// With KORVANE_PRINTER_PDF set (the host sets it for scripts), the printer writes that PDF file.
QPrinter* WEX_FRAME_WND::get_printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    const QString pdf = qEnvironmentVariable("KORVANE_PRINTER_PDF");
    if (!pdf.isEmpty()) {
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(pdf);
    }
    return m_printer.get();
}

QString WEX_FRAME_WND::get_file_filter() const { return pirq_create_filter(0); }

// The title is the document's name, the modified mark Qt shows for "[*]", and the name of the
// editor, which is the only kind of document window the stand-in hosts.
void WEX_FRAME_WND::update_title()
{
    QString name = m_document_title;
    if (name.isEmpty())
        name = m_filepath.isEmpty() ? m_untitled_name : QFileInfo(m_filepath).fileName();
    setWindowTitle(name + "[*] - Logic Analyzer Editor");
}

// Closing asks to save a modified document first; refusing keeps the window open. A closed
// window is no longer the one the shell's commands act on, even while its deletion is pending.
void WEX_FRAME_WND::closeEvent(QCloseEvent* event)
{
    if (!save_modified(true)) {
        event->ignore();
        return;
    }
    event->accept();
    forget(activation_order(), this);
}

bool WEX_FRAME_WND::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        forget(activation_order(), this);
        activation_order().push_back(this);
    }
    return QMainWindow::event(event);
}

// ---- compile flow -------------------------------------------------------------------------------------------

bool WEX_FRAME_WND::start_flow(FSTR_FLOW_ENUM flow, const std::string& arguments, bool a, bool b, bool c)
{
    if (m_flow_running)
        return false;
    started_flows().push_back({flow, arguments, {a, b, c}});
    m_last_flow = flow;
    if (!flow_runner())
        return true;
    m_flow_running = true;
    const bool result = flow_runner()(flow, arguments);
    m_flow_running = false;
    // Every frame hears that the flow has finished, as the suite's notification tells them.
    for (WEX_FRAME_WND* frame : frames())
        frame->molq_msg_post_notify_flow_finish();
    return result;
}

// ---- lookups ------------------------------------------------------------------------------------------------

WEX_FRAME_WND* wex_get_main_frame_wnd() { return activation_order().empty() ? nullptr : activation_order().back(); }

WEX_FRAME_WND* wex_get_suite_main_window(const WEX_FRAME_WND* except)
{
    for (WEX_FRAME_WND* frame : frames())
        if (frame != except && frame->is_main_window())
            return frame;
    return nullptr;
}

std::vector<WEX_FRAME_WND*> wex_get_opened_frame_wnd_list() { return frames(); }

std::vector<WEX_FRAME_WND*> WEX_FRAME_MGR::get_opened_frame_wnd_list(int document_class) const
{
    std::vector<WEX_FRAME_WND*> list;
    for (WEX_FRAME_WND* frame : frames())
        if (frame->get_document_class() == document_class)
            list.push_back(frame);
    return list;
}

QWidget* WEX_APP::get_main_window() const { return wex_get_main_frame_wnd(); }

WEX_APP* wex_get_app()
{
    static WEX_APP app;
    return qobject_cast<QApplication*>(QCoreApplication::instance()) ? &app : nullptr;
}

WEX_APP* pirq_get_app() { return wex_get_app(); }

WEX_PRJ_UI_MGR* WEX_PRJ_UI_MGR::get_prj_ui_mgr()
{
    static WEX_PRJ_UI_MGR manager;
    return &manager;
}

bool WEX_PRJ_UI_MGR::project_is_open() const { return OMU_MANAGER::get_omu_manager()->is_project_open(); }

std::string WEX_PRJ_UI_MGR::get_top_entity() const { return OMU_MANAGER::get_omu_manager()->get_top_entity(); }

std::string WEX_PRJ_UI_MGR::get_project_file() const
{
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    return project ? project->get_path() : std::string();
}

// ---- locate -------------------------------------------------------------------------------------------------

namespace {

std::vector<WEX_LOCATE_REQUEST>& locate_requests()
{
    static std::vector<WEX_LOCATE_REQUEST> requests;
    return requests;
}

void record_locate(const QString& target, const MSG_GEN_LOCATION_SCHEMA* schema)
{
    if (!schema)
        return;
    WEX_LOCATE_REQUEST request{target, schema->get_name(), schema->get_unit(), {}};
    for (const auto& object : schema->get_objects()) {
        const auto* instance = dynamic_cast<const MSG_GEN_LOC_INSTANCE*>(object.get());
        if (instance && instance->get_iname_id() >= 0)
            request.objects.push_back("#" + std::to_string(instance->get_iname_id()));
        else if (const auto* located = dynamic_cast<const MSG_GEN_LOC_OBJ*>(object.get()))
            request.objects.push_back(located->get_label() ? located->get_label() : "");
    }
    std::vector<WEX_LOCATE_REQUEST>& requests = locate_requests();
    if (requests.size() == 64)
        requests.erase(requests.begin());
    requests.push_back(std::move(request));
}

}  // namespace

void wex_locate(const QString& target, const MSG_GEN_LOCATION_SCHEMA* schema, bool) { record_locate(target, schema); }

void wex_locate_to_design_file(const MSG_GEN_LOCATION_SCHEMA* schema, bool) { record_locate(QString(), schema); }

const std::vector<WEX_LOCATE_REQUEST>& wex_get_locate_requests() { return locate_requests(); }

void wex_clear_locate_requests() { locate_requests().clear(); }

void wex_enable_locate_menu_actions(QMenu* menu, int mode)
{
    auto* locate = qobject_cast<PIRQ_LOCATE_MENU*>(menu);
    if (!locate)
        return;
    const bool on = mode != 0;
    for (const QString& target : PIRQ_LOCATE_MENU::get_targets())
        locate->get_target_action(target)->setEnabled(on);
}

// ---- test support -------------------------------------------------------------------------------------------

bool tst_is_regtest_mode() { return regtest_mode; }

void tst_set_regtest_mode(bool on) { regtest_mode = on; }
