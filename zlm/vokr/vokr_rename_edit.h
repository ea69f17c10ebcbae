// The in-place editor of a box's alias on the diagram canvas: a frameless line edit over the
// box's label. Return or Enter hands its text to the box as the alias; Escape or any other loss
// of focus discards it.
#pragma once

#include <QLineEdit>

class VOKR_OBJECT;
class VOKR_OBJECT_WIDGET;

class VOKR_RENAME_EDIT : public QLineEdit {
    Q_OBJECT

public:
    // A child of `canvas` holding `text` for the rename of `box`.
    VOKR_RENAME_EDIT(VOKR_OBJECT* box, VOKR_OBJECT_WIDGET* canvas, const QString& text);

    VOKR_OBJECT* get_box() const { return m_box; }
    VOKR_OBJECT_WIDGET* get_canvas() const { return m_canvas; }
    // The box is done with the editor (its rename ended or the box is going away): later
    // events reach nothing.
    void forget_box() { m_box = nullptr; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    VOKR_OBJECT* m_box;
    VOKR_OBJECT_WIDGET* m_canvas;
};
