// The shell's test mode for modal dialogs: follow-ups run inside the dialog, "1" accepts, the
// watchdog rejects, and a follow-up whose command opened no dialog is dropped.
#include "msg.h"
#include "wex.h"
#include "yuvr.h"

#include <QDialog>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class ModalFollowUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        interp = Tcl_CreateInterp();
        yuvr_set_interpreter(interp);
    }
    void TearDown() override
    {
        yuvr_set_interpreter(nullptr);
        Tcl_DeleteInterp(interp);
    }
    std::string var(const char* name) const
    {
        const char* value = Tcl_GetVar(interp, name, TCL_GLOBAL_ONLY);
        return value ? value : "<unset>";
    }
    Tcl_Interp* interp = nullptr;
};

TEST_F(ModalFollowUp, FollowUpRunsInTheDialogAndItsAnswerDecides)
{
    struct CASE {
        const char* follow_up;
        bool dropped_by_scope;
        int result;
        const char* seen;
    } cases[] = {
        {"no_such_command", false, QDialog::Rejected, "<unset>"},  // an error: the watchdog closes it
        {"set ::seen in; expr {1}", false, QDialog::Accepted, "in"},
        {"set ::seen in; expr {2}", false, QDialog::Rejected, "in"},  // open after the deadline
        {"set ::seen in; expr {1}", true, QDialog::Rejected, "<unset>"},
    };
    for (const CASE& c : cases) {
        Tcl_UnsetVar(interp, "::seen", TCL_GLOBAL_ONLY);
        Tcl_SetResult(interp, const_cast<char*>("outer"), TCL_STATIC);
        if (c.dropped_by_scope) {
            WEX_MODAL_COMMAND_SCOPE scope;
            wex_prepare_for_modal_dlg_if_in_test(c.follow_up, 50);
        } else {
            wex_prepare_for_modal_dlg_if_in_test(c.follow_up, 50);
        }
        QDialog dialog;
        QTimer::singleShot(300, &dialog, &QDialog::reject);  // only for a dropped follow-up
        EXPECT_EQ(dialog.exec(), c.result) << c.follow_up;
        EXPECT_EQ(var("::seen"), c.seen) << c.follow_up;
        EXPECT_STREQ(Tcl_GetStringResult(interp), "outer") << c.follow_up;
        EXPECT_FALSE(wex_has_pending_modal_follow_up());
    }
}

// A follow-up that opens a nested dialog: the inner one is answered by its own follow-up, and the
// watchdog closes the outer one only after the inner has ended.
TEST_F(ModalFollowUp, NestedDialogsCloseInnermostFirst)
{
    QDialog outer;
    Tcl_CreateObjCommand(
        interp, "open_inner",
        [](ClientData, Tcl_Interp* in, int, Tcl_Obj* const*) {
            wex_prepare_for_modal_dlg_if_in_test("set ::inner done; expr 1", 1000);
            QDialog inner;
            Tcl_SetObjResult(in, Tcl_NewIntObj(inner.exec()));
            return TCL_OK;
        },
        nullptr, nullptr);
    wex_prepare_for_modal_dlg_if_in_test("set ::outer [open_inner]; list", 10);
    EXPECT_EQ(outer.exec(), QDialog::Rejected);
    EXPECT_EQ(var("::inner"), "done");
    EXPECT_EQ(var("::outer"), "1");
}

// A dialog a scoped command opens with no follow-up: without a person it is rejected soon and
// the scope names it; a person's stays open until he closes it.
TEST_F(ModalFollowUp, AnUnansweredDialogClosesOnlyWithoutAPerson)
{
    for (const bool person : {false, true}) {
        MSG_JOURNAL::set_interactive(person);
        WEX_MODAL_COMMAND_SCOPE scope;
        QDialog dialog;
        dialog.setWindowTitle("Unanswered");
        QTimer::singleShot(800, &dialog, &QDialog::accept);  // the person's answer, after the watchdog
        EXPECT_EQ(dialog.exec(), person ? QDialog::Accepted : QDialog::Rejected) << person;
        EXPECT_EQ(scope.unanswered_dialog(), person ? QString() : QString("Unanswered")) << person;
    }
    MSG_JOURNAL::set_interactive(false);
}

TEST_F(ModalFollowUp, EveryRegistrationIsLoggedAndAnUnscopedOneExpires)
{
    wex_clear_modal_follow_up_log();
    wex_prepare_for_modal_dlg_if_in_test("", 1000);
    EXPECT_FALSE(wex_has_pending_modal_follow_up());
    wex_prepare_for_modal_dlg_if_in_test("set ::late 1", 10);
    EXPECT_TRUE(wex_has_pending_modal_follow_up());
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(wex_has_pending_modal_follow_up());
    EXPECT_EQ(wex_get_modal_follow_up_log(), (std::vector<std::string>{"", "set ::late 1"}));
}

}  // namespace
