// Plays the suite's GUI process: one QApplication and one Tcl interpreter on the same thread,
// the module's package made loadable, and optionally a Tcl script run without a person.
//
//   korvane_host [SESSION.lmx] [--script FILE] [--platform NAME]
#include "gen.h"
#include "msg.h"
#include "yuvr.h"

#include <QApplication>
#include <QTimer>

#include <tcl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct HOST_OPTIONS {
    std::string session;
    std::string script;
    std::string platform;
};

void usage()
{
    std::fprintf(stderr, "usage: korvane_host [SESSION.lmx] [--script FILE] [--platform NAME]\n");
}

bool parse_options(int argc, char** argv, HOST_OPTIONS* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool has_value = i + 1 < argc;
        if ((word == "--script" || word == "--platform") && !has_value) {
            std::fprintf(stderr, "korvane_host: %s needs a value\n", word.c_str());
            return false;
        }
        if (word == "--script")
            options->script = argv[++i];
        else if (word == "--platform")
            options->platform = argv[++i];
        else if (word == "-h" || word == "--help")
            return false;
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

Tcl_Interp* create_interpreter(const char* argv0)
{
    Tcl_FindExecutable(argv0);
    Tcl_Interp* interp = Tcl_CreateInterp();
    if (Tcl_Init(interp) != TCL_OK)
        std::fprintf(stderr, "korvane_host: Tcl library scripts not found: %s\n", Tcl_GetStringResult(interp));
    yuvr_set_interpreter(interp);
    msg_register_tcl_commands(interp);
    yuvr_declare_module_package(interp, "vokr", "1.0", "Vokr", gen_get_module_path() + "libzlm_vokr.so");
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

int open_session(Tcl_Interp* interp, const std::string& session)
{
    if (yuvr_package_require(interp, "vokr", nullptr, 0, 1) != TCL_OK)
        return 1;
    std::printf("korvane_host: module package loaded; session %s\n", session.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    HOST_OPTIONS options;
    if (!parse_options(argc, argv, &options)) {
        usage();
        return 2;
    }
    if (!options.platform.empty())
        setenv("QT_QPA_PLATFORM", options.platform.c_str(), 1);
    QApplication app(argc, argv);
    gen_set_is_qt(true);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool offscreen = platform && std::strcmp(platform, "offscreen") == 0;
    MSG_JOURNAL::set_interactive(options.script.empty() && !offscreen);
    MSG_JOURNAL::set_echo(true);

    Tcl_Interp* interp = create_interpreter(argv[0]);
    QTimer::singleShot(0, &app, [&] {
        const int status = options.script.empty() ? open_session(interp, options.session)
                                                  : run_script(interp, options.script);
        QCoreApplication::exit(status);
    });
    return app.exec();
}
