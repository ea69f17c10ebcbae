// The shell's commands that read what the window shows a person: pictures of it, and the
// status texts of the instance manager, the JTAG pane and the edit actions.
#include "host_shell.h"

#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_instance_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

#include <cstdio>

bool host_shell_write_picture(QWidget* window, const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool saved = window->grab().save(path, "PNG");
    std::printf(saved ? "korvane_host: wrote %s\n" : "korvane_host: cannot write %s\n", path.toLocal8Bit().constData());
    std::fflush(stdout);
    return saved;
}

bool host_shell_write_settled_picture(QWidget* window, const QString& file)
{
    // Handling one event often posts the next (a layout request, a deferred resize, a status
    // computed from both): events are handled until none is left. A running acquisition keeps
    // posting its own, so while one runs this stops after a moment; otherwise the limit only
    // guards against a window that never settles, and leaves a busy machine time to settle it.
    constexpr int RUNNING_LIMIT_MS = 200, IDLE_LIMIT_MS = 10000;
    const auto* frame = dynamic_cast<VOKR_FRAME_WND*>(window);
    const VOKR_TX_MANAGER* manager = frame ? frame->get_tx_manager() : nullptr;
    const bool running = manager && manager->is_any_instance_acquiring();
    if (!window->isVisible())
        window->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents, running ? RUNNING_LIMIT_MS : IDLE_LIMIT_MS);
    return host_shell_write_picture(window, file);
}

namespace {

void put(Tcl_Obj* dict, const char* key, const QString& value)
{
    const QByteArray bytes = value.toUtf8();
    Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj(key, -1), Tcl_NewStringObj(bytes.constData(), bytes.size()));
}

void put(Tcl_Obj* dict, const char* key, bool value)
{
    Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj(key, -1), Tcl_NewBooleanObj(value));
}

// The Status cell of the current instance's row; empty without one.
QString status_cell(VOKR_INSTANCE_WIDGET* pane, int entry)
{
    const QStandardItem* row = pane->find_instance_item(entry);
    return row ? pane->get_model()->item(row->row(), VOKR_INSTANCE_WIDGET::STATUS)->text() : QString();
}

// ::korvane::shell::screenshot FILE ?WIDTH HEIGHT?: writes a PNG picture of the current editor
// window, at that size when given (the window keeps it); shows the window first.
int screenshot_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int width = 0, height = 0;
    if (objc != 2 && objc != 4)
        return host_shell_fail(interp, "usage: screenshot file ?width height?");
    if (objc == 4 &&
        (Tcl_GetIntFromObj(interp, objv[2], &width) != TCL_OK || Tcl_GetIntFromObj(interp, objv[3], &height) != TCL_OK))
        return TCL_ERROR;
    if (objc == 4 && (width < 200 || height < 200 || width > 8000 || height > 8000))
        return host_shell_fail(interp, QString("bad size %1x%2: each side must be 200 to 8000").arg(width).arg(height));
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return TCL_ERROR;
    if (objc == 4)
        frame->resize(width, height);
    const QString file = QString::fromUtf8(Tcl_GetString(objv[1]));
    if (!host_shell_write_settled_picture(frame, file))
        return host_shell_fail(interp, QString("cannot write \"%1\"").arg(file));
    return TCL_OK;
}

// ::korvane::shell::status_texts: what the window tells a person now, as a dictionary: status
// (the current instance's Status cell), banner (the instance manager's status line), jtag (the
// JTAG pane's status), hardware and device (the JTAG pane's selectors), undo and redo (whether
// the edit actions are enabled).
int status_texts_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const[])
{
    if (objc != 1)
        return host_shell_fail(interp, "usage: status_texts");
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    VOKR_LAYOUT_WIDGET* layout = frame ? frame->get_layout_widget() : nullptr;
    if (!layout || !layout->get_instance_widget() || !layout->get_jtag_widget())
        return frame ? host_shell_fail(interp, "the window shows no instance manager") : TCL_ERROR;
    VOKR_INSTANCE_WIDGET* pane = layout->get_instance_widget();
    VOKR_JTAG_WIDGET* jtag = layout->get_jtag_widget();
    Tcl_Obj* texts = Tcl_NewDictObj();
    put(texts, "status", status_cell(pane, frame->get_tx_manager()->get_current_instance_index()));
    put(texts, "banner", pane->get_status_line()->text());
    put(texts, "jtag", jtag->get_status_label()->text());
    put(texts, "hardware", jtag->get_hardware_combo()->currentText());
    put(texts, "device", jtag->get_device_combo()->currentText());
    put(texts, "undo", frame->get_standard_action("PIRQ_UNDO_ACTION")->isEnabled());
    put(texts, "redo", frame->get_standard_action("PIRQ_REDO_ACTION")->isEnabled());
    Tcl_SetObjResult(interp, texts);
    return TCL_OK;
}

}  // namespace

void host_shell_register_capture_commands(Tcl_Interp* interp)
{
    Tcl_CreateObjCommand(interp, "::korvane::shell::screenshot", screenshot_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::shell::status_texts", status_texts_cmd, nullptr, nullptr);
}
