// The in-place editor of a box's alias on the diagram canvas: a line edit over the box's label
// that hands its text back to the box when editing finishes (Enter or focus leaving it).
#pragma once

#include <QLineEdit>

class VOKR_OBJECT;
class VOKR_OBJECT_WIDGET;

class VOKR_RENAME_EDIT : public QLineEdit {
    Q_OBJECT

public:
    // A child of `canvas` holding `text`, ending the rename of `box` when editing finishes.
    VOKR_RENAME_EDIT(VOKR_OBJECT* box, VOKR_OBJECT_WIDGET* canvas, const QString& text);

    VOKR_OBJECT* get_box() const { return m_box; }
    VOKR_OBJECT_WIDGET* get_canvas() const { return m_canvas; }
    // The box is done with the editor (its rename ended or the box is going away): later
    // signals reach nothing.
    void forget_box() { m_box = nullptr; }

private:
    void on_editing_finished();

    VOKR_OBJECT* m_box;
    VOKR_OBJECT_WIDGET* m_canvas;
};
