// What the test hooks share: the dialog finders and the module's debug lines.
#pragma once

#include <QList>
#include <QWidget>

class QDialog;

// The last modal dialog among the descendants of the shell application's main window, else the
// modal dialog in front; null when there is none (or no shell application).
QDialog* vokr_test_get_active_dialog();

// The first descendant of that type, or null.
template <class T> T* vokr_test_find_child(QWidget* widget)
{
    const QList<T*> found = widget ? widget->findChildren<T*>() : QList<T*>();
    return found.isEmpty() ? nullptr : found.first();
}

// A debug line of the module (printf-style), kept by the message library at level 2.
void vokr_debug_msg(const char* format, ...);
