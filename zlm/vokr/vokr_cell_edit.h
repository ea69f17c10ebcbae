// The base of the node list view's in-place editors: a frameless line editor over one cell that
// commits a changed text when it loses focus, tells the view it closed, and deletes itself.
#pragma once

#include <QLineEdit>
#include <QRect>

class VOKR_TX_MANAGER;
class VOKR_VIEW;

class VOKR_CELL_EDIT : public QLineEdit {
    Q_OBJECT
public:
    VOKR_CELL_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column);

protected:
    // Shows `text` as the editor's text and keeps it to tell a changed text on closing.
    void set_initial_text(const QString& text);
    // Places the editor over `rect`, aligned as asked, and gives it the focus.
    void open_at(const QRect& rect, Qt::Alignment alignment);
    void focusOutEvent(QFocusEvent* event) override;
    // Stores the changed text; called once, on closing, with a session open.
    virtual void commit() = 0;

    VOKR_VIEW* m_view;
    VOKR_TX_MANAGER* m_tx_manager;
    int m_node;
    int m_column;
    QString m_initial_text;
    QRect m_rect;

private:
    bool m_closing = false;
};
