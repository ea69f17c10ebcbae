// The shell's watchdog: a thread of its own that ends the host when a call it was armed for has
// not returned in time. A call that spins or waits in a loop of its own holds the Tcl thread,
// which is the GUI thread, so no timer of that thread could notice; this thread can. While it is
// armed, a host that ends abnormally (an abort, a fault, a sanitizer's report) names the call too.
#include "host_shell.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#include <sanitizer/common_interface_defs.h>
#define HOST_SANITIZED 1
#endif

namespace {

// The line written when the host ends during the armed call, in a plain buffer that a signal
// handler may read; empty while the watchdog is disarmed.
char ending_line[1024];
size_t ending_line_size = 0;

void write_ending_line()
{
    if (ending_line_size)
        (void)!write(STDERR_FILENO, ending_line, ending_line_size);
}

const int FATAL_SIGNALS[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction previous_actions[sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0]];

// Names the call, then gives the signal back to the handler that was there before (the default
// one, or a sanitizer's): an abort is raised again, and a fault repeats when its instruction runs.
void on_fatal_signal(int signal)
{
    write_ending_line();
    for (size_t i = 0; i < sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0]; ++i)
        if (FATAL_SIGNALS[i] == signal)
            sigaction(signal, &previous_actions[i], nullptr);
    if (signal == SIGABRT)
        raise(signal);
}

void catch_fatal_signals()
{
    struct sigaction action = {};
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0]; ++i)
        sigaction(FATAL_SIGNALS[i], &action, &previous_actions[i]);
#ifdef HOST_SANITIZED
    __sanitizer_set_death_callback(write_ending_line);
#endif
}

class WATCHDOG {
public:
    ~WATCHDOG()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Arms the watchdog for the next `ms` milliseconds with the message that names the call;
    // 0 disarms it.
    void arm(int ms, const std::string& message)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_armed = ms > 0;
            m_ms = ms;
            m_message = message;
            m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            if (!m_thread.joinable()) {
                catch_fatal_signals();
                m_thread = std::thread(&WATCHDOG::watch, this);
            }
        }
        const int written = m_armed ? std::snprintf(ending_line, sizeof ending_line,
                                                    "korvane_host: the host ended during %s\n", message.c_str())
                                    : 0;
        ending_line_size = std::min(sizeof ending_line - 1, size_t(std::max(written, 0)));
        m_changed.notify_one();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            if (!m_armed)
                m_changed.wait(lock);
            else if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
                     std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "korvane_host: watchdog: %s has not returned after %d ms; ending the host\n",
                             m_message.c_str(), m_ms);
                std::fflush(stderr);
                std::_Exit(124);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false, m_stop = false;
    int m_ms = 0;
    std::string m_message;
    std::thread m_thread;  // started by the first arming
};

// ::korvane::shell::watchdog MS ?MESSAGE?: ends the host (exit status 124) with the message
// when the watchdog is not armed again or disarmed (MS 0) within MS milliseconds.
int watchdog_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    static WATCHDOG watchdog;
    int ms = 0;
    if (objc < 2 || objc > 3)
        return host_shell_fail(interp, "usage: watchdog ms ?message?");
    if (Tcl_GetIntFromObj(interp, objv[1], &ms) != TCL_OK)
        return TCL_ERROR;
    if (ms < 0)
        return host_shell_fail(interp, "the time must not be negative");
    watchdog.arm(ms, objc == 3 ? Tcl_GetString(objv[2]) : "a call");
    return TCL_OK;
}

}  // namespace

void host_shell_register_watchdog_command(Tcl_Interp* interp)
{
    Tcl_CreateObjCommand(interp, "::korvane::shell::watchdog", watchdog_cmd, nullptr, nullptr);
}
