// The shell's test mode for modal dialogs: a follow-up Tcl command registered before a command
// opens a dialog is evaluated inside that dialog's own event loop, found through an
// application event filter on the Show of modal dialogs.
#include "wex.h"

#include "msg.h"
#include "yuvr.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <tcl.h>

#include <cstring>
#include <optional>

namespace {

// The dynamic property that ties a dialog's showing to the follow-up it took.
const char* const FOLLOW_UP_PROPERTY = "wex_follow_up_serial";
// How often the watchdog looks again at a dialog that another dialog covers.
constexpr int WATCHDOG_RETRY_MS = 50;
// How long a dialog that a scripted command opened without a follow-up may stay open: nothing
// can answer it while the script waits for the command, so it is closed soon.
constexpr int UNANSWERED_TIMEOUT_MS = 300;

struct PENDING {
    std::string command;
    int timeout_ms = 0;
    int depth = 0;  // scope depth at registration; 0 outside any scope
    quint64 serial = 0;
};

class MODAL_FOLLOW_UP : public QObject {
public:
    static MODAL_FOLLOW_UP& get()
    {
        static MODAL_FOLLOW_UP instance;
        return instance;
    }

    void prepare(const std::string& command, int timeout_ms);
    // A command's scope: inside a follow-up what it registered passes to the follow-up, which
    // passes it to the command that opened the dialog (`hand_to`); otherwise it is dropped.
    void enter_command_scope()
    {
        if (!MSG_JOURNAL::is_interactive())  // a person answers the dialogs himself
            watch_app();
        m_scopes.push_back({m_scopes.empty() || !m_scopes.back().run ? -1 : depth(), false});
    }
    void enter_run_scope(int hand_to) { m_scopes.push_back({hand_to, true}); }
    void leave_scope();
    int depth() const { return static_cast<int>(m_scopes.size()); }
    bool has_pending() const { return m_pending.has_value(); }
    std::vector<std::string> log;
    // Dialogs that showed in a command scope with no follow-up waiting, and the last one's title.
    quint64 unanswered = 0;
    QString unanswered_title;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch_app();
    void claim(QDialog* dialog);
    void run(const QPointer<QDialog>& dialog, const std::string& command, int opener_depth);
    void watch(const QPointer<QDialog>& dialog, quint64 serial, int delay_ms, bool answered = true);
    void drop(const char* why);
    void expire_unscoped();

    struct SCOPE {
        int hand_to;  // -1: drop
        bool run;
    };

    std::optional<PENDING> m_pending;
    QPointer<QCoreApplication> m_filtered_app;
    std::vector<SCOPE> m_scopes;
    quint64 m_serial = 0;
};

void MODAL_FOLLOW_UP::prepare(const std::string& command, int timeout_ms)
{
    log.push_back(command);
    if (command.empty())
        return;
    watch_app();
    m_pending = PENDING{command, timeout_ms, depth(), ++m_serial};
    if (depth() == 0)
        expire_unscoped();
}

// The filter goes on the application that runs now (tests make one after another).
void MODAL_FOLLOW_UP::watch_app()
{
    if (m_filtered_app == QCoreApplication::instance())
        return;
    m_filtered_app = QCoreApplication::instance();
    if (m_filtered_app)
        m_filtered_app->installEventFilter(this);
}

void MODAL_FOLLOW_UP::expire_unscoped()
{
    const quint64 serial = m_pending->serial;
    QTimer::singleShot(m_pending->timeout_ms, this, [this, serial] {
        if (m_pending && m_pending->serial == serial)
            drop("no dialog showed in time");
    });
}

void MODAL_FOLLOW_UP::leave_scope()
{
    const SCOPE scope = m_scopes.back();
    if (m_pending && m_pending->depth >= depth()) {
        if (scope.hand_to < 0) {
            drop("its command opened no dialog");
        } else {
            m_pending->depth = scope.hand_to;
            if (scope.hand_to == 0)
                expire_unscoped();
        }
    }
    m_scopes.pop_back();
}

void MODAL_FOLLOW_UP::drop(const char* why)
{
    MSG_W warning;
    warning.fill_args("The follow-up command %1!s! was dropped: %2!s!/WWEX_MODAL_FOLLOW_UP_DROPPED",
                      m_pending->command.c_str(), why);
    m_pending.reset();
    warning.post();
}

bool MODAL_FOLLOW_UP::eventFilter(QObject* watched, QEvent* event)
{
    // The object is asked first: the events other threads post to objects that are not widgets
    // (the acquisition's wake-ups) are handed over inside Qt and are not read here.
    if (watched->isWidgetType() && event->type() == QEvent::Show && (m_pending || depth() > 0)) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || !dialog->isWindow() || dialog->windowModality() == Qt::NonModal)
            return false;
        if (m_pending) {
            claim(dialog);
        } else if (!MSG_JOURNAL::is_interactive()) {
            // A scripted command opened a dialog that nothing answers: it must not wait.
            ++unanswered;
            unanswered_title = dialog->windowTitle();
            dialog->setProperty(FOLLOW_UP_PROPERTY, ++m_serial);
            watch(QPointer<QDialog>(dialog), m_serial, UNANSWERED_TIMEOUT_MS, false);
        }
    }
    return false;
}

// The dialog shows before its event loop starts: the follow-up is queued so that it runs in
// that loop, and the watchdog is armed from now.
void MODAL_FOLLOW_UP::claim(QDialog* dialog)
{
    const PENDING taken = *m_pending;
    m_pending.reset();
    dialog->setProperty(FOLLOW_UP_PROPERTY, taken.serial);
    const QPointer<QDialog> guarded(dialog);
    QTimer::singleShot(0, dialog,
                       [this, guarded, command = taken.command, opener = depth()] { run(guarded, command, opener); });
    watch(guarded, taken.serial, taken.timeout_ms);
}

// The command's result and error state belong to the command that opened the dialog; the
// follow-up's own are kept apart from them.
void MODAL_FOLLOW_UP::run(const QPointer<QDialog>& dialog, const std::string& command, int opener_depth)
{
    Tcl_Interp* interp = yuvr_get_interpreter();
    if (!dialog || !dialog->isVisible() || !interp)
        return;
    Tcl_InterpState saved = Tcl_SaveInterpState(interp, TCL_OK);
    bool accept = false;
    {
        enter_run_scope(opener_depth);
        const int code = Tcl_EvalEx(interp, command.c_str(), -1, TCL_EVAL_GLOBAL);
        accept = code == TCL_OK && std::strcmp(Tcl_GetStringResult(interp), "1") == 0;
        if (code != TCL_OK) {
            MSG_E error;
            error.fill_args("The follow-up command %1!s! failed: %2!s!/EWEX_MODAL_FOLLOW_UP_FAILED", command.c_str(),
                            Tcl_GetStringResult(interp));
            error.post();
        }
        leave_scope();
    }
    Tcl_RestoreInterpState(interp, saved);
    if (accept && dialog && dialog->isVisible())
        dialog->accept();
}

// Rejects the dialog once the deadline has passed; a dialog that a nested one covers waits
// until it is the one in front, so that loops end innermost first.
void MODAL_FOLLOW_UP::watch(const QPointer<QDialog>& dialog, quint64 serial, int delay_ms, bool answered)
{
    QTimer::singleShot(delay_ms, dialog.data(), [this, dialog, serial, answered] {
        if (!dialog || !dialog->isVisible() || dialog->property(FOLLOW_UP_PROPERTY).toULongLong() != serial)
            return;
        if (QApplication::activeModalWidget() != dialog) {
            watch(dialog, serial, WATCHDOG_RETRY_MS, answered);
            return;
        }
        MSG_W warning;
        warning.fill_args(answered ? "The dialog %1!s! was still open after its follow-up and was "
                                     "closed/WWEX_MODAL_DIALOG_CLOSED"
                                   : "The dialog %1!s! had no follow-up to answer it and was "
                                     "closed/WWEX_MODAL_DIALOG_UNANSWERED",
                          dialog->windowTitle().toLocal8Bit().constData());
        warning.post();
        dialog->reject();
    });
}

}  // namespace

void wex_prepare_for_modal_dlg_if_in_test(const std::string& command, int timeout_ms)
{
    if (!MSG_JOURNAL::is_interactive())
        MODAL_FOLLOW_UP::get().prepare(command, timeout_ms);
}

WEX_MODAL_COMMAND_SCOPE::WEX_MODAL_COMMAND_SCOPE() : m_unanswered_before(MODAL_FOLLOW_UP::get().unanswered)
{
    MODAL_FOLLOW_UP::get().enter_command_scope();
}

QString WEX_MODAL_COMMAND_SCOPE::unanswered_dialog() const
{
    const MODAL_FOLLOW_UP& modal = MODAL_FOLLOW_UP::get();
    return modal.unanswered == m_unanswered_before ? QString()
           : modal.unanswered_title.isEmpty()      ? QString("(untitled)")
                                                   : modal.unanswered_title;
}

WEX_MODAL_COMMAND_SCOPE::~WEX_MODAL_COMMAND_SCOPE() { MODAL_FOLLOW_UP::get().leave_scope(); }

const std::vector<std::string>& wex_get_modal_follow_up_log() { return MODAL_FOLLOW_UP::get().log; }

void wex_clear_modal_follow_up_log() { MODAL_FOLLOW_UP::get().log.clear(); }

bool wex_has_pending_modal_follow_up() { return MODAL_FOLLOW_UP::get().has_pending(); }
