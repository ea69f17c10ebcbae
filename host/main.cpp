// Plays the suite's GUI process: one QApplication and one Tcl interpreter on the same thread,
// the module's package made loadable, and optionally a Tcl script run without a person.
//
//   korvane_host [SESSION.lmx] [--project FILE] [--script FILE] [--platform NAME] [--screenshot FILE]
//                [--printer-pdf FILE]
//
// Scripts have the module's commands and the shell's test commands (::korvane::shell, see
// host_shell.h); --printer-pdf makes the printer write that PDF file.
// The project description comes from --project, or else from the first "*.kproj" file in the
// session's directory that reads as one. Without a display (offscreen) and without a script the
// host opens the session, reports what it opened and ends; with --screenshot it shows the
// editor's window, writes a PNG picture of it once the window has settled (after the script,
// when there is one), and ends. The simulated target runs paced, on its worker thread.
#include "daw.h"
#include "gen.h"
#include "host_shell.h"
#include "msg.h"
#include "prj.h"
#include "tevq.h"
#include "vokr_frame_wnd.h"
#include "vokr_tcl.h"
#include "vokr_tx_manager.h"
#include "wex.h"
#include "yuvr.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>

#include <QApplication>
#include <QTimer>

#include <tcl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct HOST_OPTIONS {
    std::string session;
    std::string project;
    std::string script;
    std::string platform;
    std::string screenshot;
    std::string printer_pdf;
};

void usage(FILE* out)
{
    std::fprintf(out,
                 "usage: korvane_host [SESSION.lmx] [--project FILE] [--script FILE] [--platform NAME] "
                 "[--screenshot FILE] [--printer-pdf FILE]\n");
}

bool parse_options(int argc, char** argv, HOST_OPTIONS* options, bool* help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool has_value = i + 1 < argc;
        const bool takes_value = word == "--script" || word == "--platform" || word == "--project" ||
                                 word == "--screenshot" || word == "--printer-pdf";
        if (takes_value && !has_value) {
            std::fprintf(stderr, "korvane_host: %s needs a value\n", word.c_str());
            return false;
        }
        if (word == "--script")
            options->script = argv[++i];
        else if (word == "--project")
            options->project = argv[++i];
        else if (word == "--platform")
            options->platform = argv[++i];
        else if (word == "--screenshot")
            options->screenshot = argv[++i];
        else if (word == "--printer-pdf")
            options->printer_pdf = argv[++i];
        else if (word == "-h" || word == "--help")
            return *help = true;
        else if (!word.empty() && word[0] == '-') {
            std::fprintf(stderr, "korvane_host: unknown option %s\n", word.c_str());
            return false;
        } else if (options->session.empty())
            options->session = word;
        else {
            std::fprintf(stderr, "korvane_host: only one session file can be opened\n");
            return false;
        }
    }
    return true;
}

VOKR_FRAME_WND* open_editor(const HOST_OPTIONS& options, bool show, std::string* failure);

// ::korvane::host::editor_state: the current editor window's file, modified mark and number of
// instances, as a dictionary; an error without a window.
int editor_state_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 1) {
        Tcl_WrongNumArgs(interp, 1, objv, "");
        return TCL_ERROR;
    }
    auto* frame = qobject_cast<VOKR_FRAME_WND*>(wex_get_main_frame_wnd());
    if (!frame) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj("no editor window is open", -1));
        return TCL_ERROR;
    }
    KSM_TX_SESSION* session = frame->get_tx_manager()->get_session();
    Tcl_Obj* state = Tcl_NewDictObj();
    Tcl_DictObjPut(interp, state, Tcl_NewStringObj("file", -1),
                   yuvr_new_utf8_obj(frame->get_qstring_filepath().toStdString()));
    Tcl_DictObjPut(interp, state, Tcl_NewStringObj("modified", -1), Tcl_NewBooleanObj(frame->isWindowModified()));
    Tcl_DictObjPut(interp, state, Tcl_NewStringObj("instances", -1),
                   Tcl_NewIntObj(session ? session->get_num_instances() : 0));
    Tcl_SetObjResult(interp, state);
    return TCL_OK;
}

// ::korvane::host::open_editor ?SESSION? ?-project FILE?: the editor's frame window for scripts.
int open_editor_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    HOST_OPTIONS options;
    for (int i = 1; i < objc; ++i) {
        const std::string word = Tcl_GetString(objv[i]);
        if (word == "-project" && i + 1 < objc)
            options.project = Tcl_GetString(objv[++i]);
        else if (options.session.empty() && word[0] != '-')
            options.session = word;
        else {
            Tcl_WrongNumArgs(interp, 1, objv, "?session? ?-project file?");
            return TCL_ERROR;
        }
    }
    std::string failure;
    if (!open_editor(options, false, &failure)) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj(("the editor could not be opened: " + failure).c_str(), -1));
        return msg_tcl_script_code(interp, TCL_ERROR);
    }
    return msg_tcl_script_code(interp, TCL_OK);
}

Tcl_Interp* create_interpreter(const char* argv0)
{
    Tcl_FindExecutable(argv0);
    Tcl_Interp* interp = Tcl_CreateInterp();
    // File names are UTF-8 to Qt whatever the locale; Tcl's file commands must name them alike.
    Tcl_SetSystemEncoding(interp, "utf-8");
    if (Tcl_Init(interp) != TCL_OK)
        std::fprintf(stderr, "korvane_host: Tcl library scripts not found: %s\n", Tcl_GetStringResult(interp));
    yuvr_set_interpreter(interp);
    msg_register_tcl_commands(interp);
    tevq_register_tcl_commands(interp);
    yuvr_declare_module_package(interp, "vokr", "1.0", "Vokr", gen_get_module_path() + "libzlm_vokr.so");
    Tcl_Eval(interp, "namespace eval ::korvane::host {}");
    Tcl_CreateObjCommand(interp, "::korvane::host::open_editor", open_editor_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::host::editor_state", editor_state_cmd, nullptr, nullptr);
    host_shell_register_commands(interp);
    return interp;
}

// Runs the script; its error, with the Tcl error information, decides the exit status.
int run_script(Tcl_Interp* interp, const std::string& file)
{
    if (Tcl_EvalFile(interp, file.c_str()) != TCL_OK) {
        const char* info = Tcl_GetVar(interp, "errorInfo", TCL_GLOBAL_ONLY);
        std::fprintf(stderr, "korvane_host: %s failed:\n%s\n", file.c_str(), info ? info : Tcl_GetStringResult(interp));
        return 1;
    }
    const char* result = Tcl_GetStringResult(interp);
    if (*result)
        std::printf("%s\n", result);
    return 0;
}

// The project description named with --project for the editor last opened; empty when each
// session's own is used.
std::string& named_project()
{
    static std::string project;
    return project;
}

// Opens the first "*.kproj" in the session's directory that reads as a project description
// (keeping the open project when it is that file) and returns its path; empty when none does.
// Any other file there, an empty or damaged one the user keeps, is passed over untouched: nobody
// asked for it.
std::string open_project_beside(const std::string& session)
{
    const QDir dir = QFileInfo(QString::fromLocal8Bit(session.c_str())).absoluteDir();
    const PRJ_PROJECT* open = PRJ_PROJECT::get_open();
    for (const QString& name : dir.entryList({"*.kproj"}, QDir::Files, QDir::Name)) {
        const std::string path = dir.filePath(name).toLocal8Bit().toStdString();
        std::string ignored;
        if ((open && open->get_path() == path) || PRJ_PROJECT::open(path, &ignored))
            return path;
    }
    return std::string();
}

// A session opened without --project has the project beside it; one with none there is open
// without a project, which is said once, with the folder searched.
void find_project_beside(const std::string& session)
{
    if (!open_project_beside(session).empty())
        return;
    PRJ_PROJECT::close();
    const QString folder = QFileInfo(QString::fromLocal8Bit(session.c_str())).absolutePath();
    MSG_W warning;
    warning.fill_args(
        "No readable project description (*.kproj) in %1!s!: the session is open without a project, so "
        "the simulated target cannot run it (name one with --project FILE)/WHOST_NO_PROJECT",
        folder.toLocal8Bit().constData());
    warning.post();
}

// The bench holds the design as it was last compiled: a session opened on the bench's device
// finds each compiled instance programmed with the trigger it was compiled with.
void program_bench(const KSM_TX_SESSION* session)
{
    for (int entry = 0; entry < session->get_num_instances(); ++entry) {
        const KSM_TX_INSTANCE* instance = session->get_instance_at(entry);
        if (instance && !session->is_power_up_view(entry) && instance->get_compiled_checksum() != 0)
            daw_sim::program(session->get_jtag_chain_name(), session->get_jtag_device_name(), instance->get_node_info(),
                             instance->get_compiled_checksum());
    }
}

// Every session the editor opens, from the command line or with File > Open, finds its project
// and the bench as the suite's process would have them.
void on_session_opened(KSM_TX_SESSION* session)
{
    if (named_project().empty())
        find_project_beside(session->get_data_session()->get_name());
    program_bench(session);
}

// The editor is the suite's main window here, and in that window compiling is the suite's own
// command, not the editor's: the host, playing the suite, puts the suite's Start Compilation
// entry back into the window's Processing menu with Ctrl+L, so that a request for a compile in
// the instance manager has a command to answer it. It runs the simulated compile.
void add_compile_command(VOKR_FRAME_WND* frame)
{
    QAction* compile = frame->get_standard_action("PIRQ_START_COMPILE_ACTION");
    WEX_QMENU* processing = frame->get_menu(WEX_PROCESSING_MENU);
    if (!compile || !processing)
        return;
    compile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    processing->addSeparator();
    processing->addAction(compile);
}

// Loads the project, creates the editor's frame window and opens the session in it; null,
// with the reason printed and in `failure`, when either fails.
VOKR_FRAME_WND* open_editor(const HOST_OPTIONS& options, bool show, std::string* failure)
{
    // Only the project named is the person's request: one that cannot be read is an error.
    if (!options.project.empty() && !PRJ_PROJECT::open(options.project, failure)) {
        std::fprintf(stderr, "korvane_host: %s\n", failure->c_str());
        return nullptr;
    }
    const std::string project =
        !options.project.empty() || options.session.empty() ? options.project : open_project_beside(options.session);
    named_project() = options.project;
    VOKR_FRAME_WND* frame = zlm_vokr_create_frame_wnd(WEX_FRAME_MODE_MAIN_WINDOW, nullptr);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    add_compile_command(frame);
    // The window has the size it is shown at before the session lays out its panes in it.
    frame->resize(1280, 800);
    if (!options.session.empty()) {
        VOKR_TX_MANAGER* manager = frame->get_tx_manager();
        const QString path = QString::fromLocal8Bit(options.session.c_str());
        // Asked first: a pipe or a device would keep the open waiting.
        const QString refusal = wex_open_refusal(path);
        if (!refusal.isEmpty() || !frame->open_file(path)) {
            const QString reason = !refusal.isEmpty() ? refusal
                                   : manager->get_session()
                                       ? QString::fromStdString(manager->get_session()->get_last_error())
                                       : QString();
            *failure = QString("cannot open %1: %2")
                           .arg(path, reason.isEmpty() ? QString("not a session the editor can read") : reason)
                           .toLocal8Bit()
                           .toStdString();
            std::fprintf(stderr, "korvane_host: %s\n", failure->c_str());
            delete frame;
            return nullptr;
        }
        std::printf("korvane_host: opened %s with %d instance(s)%s\n", options.session.c_str(),
                    manager->get_session()->get_num_instances(),
                    project.empty() ? "" : (", project " + project).c_str());
    }
    if (show)
        frame->show();
    return frame;
}

// Writes a picture of the window once its first layout and paint are done; the exit status
// says whether the file was written.
void take_screenshot(QWidget* window, const std::string& file)
{
    window->resize(1280, 800);
    window->show();
    QTimer::singleShot(300, window, [window, file] {
        QCoreApplication::exit(host_shell_write_picture(window, QString::fromLocal8Bit(file.c_str())) ? 0 : 1);
    });
}

// After a script: the picture of the editor window the script left open, once the events the
// script posted to it are handled; false (with the reason printed) when there is none or the
// file cannot be written.
bool screenshot_after_script(const std::string& file)
{
    QWidget* window = wex_get_main_frame_wnd();
    if (!window) {
        std::fprintf(stderr, "korvane_host: no editor window is open for the screenshot\n");
        return false;
    }
    if (!window->isVisible())
        window->resize(1280, 800);
    return host_shell_write_settled_picture(window, QString::fromLocal8Bit(file.c_str()));
}

}  // namespace

int main(int argc, char** argv)
{
    HOST_OPTIONS options;
    bool help = false;
    if (!parse_options(argc, argv, &options, &help) || help) {
        usage(help ? stdout : stderr);
        return help ? 0 : 2;
    }
    if (!options.platform.empty())
        setenv("QT_QPA_PLATFORM", options.platform.c_str(), 1);
    if (!options.printer_pdf.empty())
        setenv("KORVANE_PRINTER_PDF", options.printer_pdf.c_str(), 1);
    // A write past the file-size limit fails with EFBIG, which a save reports with the old file
    // kept, instead of ending the host and every unsaved window with it.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // A script decides when the host ends: closing its last window must not quit the application
    // under it (the quit would end the dialogs' loops that run later, and the host with status 0).
    app.setQuitOnLastWindowClosed(options.script.empty());
    // The bench the host plays: the demo's device on a download cable of the simulated target.
    daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
    // A window in use runs its acquisitions as hardware would: paced, on the control's thread.
    daw_sim::set_mode(daw_sim::PACED);
    gen_set_is_qt(true);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform && std::strcmp(platform, "offscreen") == 0;
    MSG_JOURNAL::set_interactive(options.script.empty() && !offscreen);
    MSG_JOURNAL::set_echo(true);

    ksm_set_session_opened_hook(on_session_opened);
    Tcl_Interp* interp = create_interpreter(argv[0]);
    const bool screenshot = !options.screenshot.empty() && options.script.empty();
    const bool stay = options.script.empty() && !offscreen && !screenshot;
    QTimer::singleShot(0, &app, [&] {
        // A script without a session opens the editor itself when it needs one.
        VOKR_FRAME_WND* frame = nullptr;
        std::string failure;
        const bool opened = (!options.script.empty() && options.session.empty()) ||
                            (frame = open_editor(options, stay, &failure)) != nullptr;
        if (!opened)
            QCoreApplication::exit(1);
        else if (!options.script.empty()) {
            int status = run_script(interp, options.script);
            if (!options.screenshot.empty() && !screenshot_after_script(options.screenshot))
                status = status ? status : 1;
            QCoreApplication::exit(status);
        } else if (screenshot)
            take_screenshot(frame, options.screenshot);
        else if (!stay)
            QCoreApplication::exit(0);
    });
    const int status = app.exec();
    // Windows still open close their documents before the interpreter and the application go.
    for (auto frames = wex_get_opened_frame_wnd_list(); !frames.empty(); frames = wex_get_opened_frame_wnd_list())
        delete frames.front();
    return status;
}
