#include "vokr_test.h"

#include "msg.h"
#include "wex.h"

#include <QApplication>
#include <QDialog>

QDialog* vokr_test_get_active_dialog()
{
    WEX_APP* app = wex_get_app();
    if (!app)
        return nullptr;
    if (QWidget* root = app->get_main_window()) {
        const QList<QDialog*> dialogs = root->findChildren<QDialog*>(QString());
        for (int i = dialogs.size() - 1; i >= 0; --i)
            if (dialogs[i]->windowModality() != Qt::NonModal)
                return dialogs[i];
    }
    // A dialog of a window outside the main one (a detached editor) is still the one in front.
    return qobject_cast<QDialog*>(QApplication::activeModalWidget());
}

void vokr_debug_msg(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    msg_local_vdebug("VOKR", 2, format, arguments);
    va_end(arguments);
}
