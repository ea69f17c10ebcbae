// The node list view's in-place editor base: opening over a cell and committing on focus loss.
#include "vokr_cell_edit.h"

#include "vokr_tx_manager.h"
#include "vokr_view.h"

VOKR_CELL_EDIT::VOKR_CELL_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column)
    : QLineEdit(view), m_view(view), m_tx_manager(manager), m_node(node), m_column(column)
{
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_DeleteOnClose);
    setFrame(false);
}

void VOKR_CELL_EDIT::set_initial_text(const QString& text)
{
    m_initial_text = text;
    setText(text);
}

void VOKR_CELL_EDIT::open_at(const QRect& rect, Qt::Alignment alignment)
{
    m_rect = rect;
    setAlignment(alignment);
    setFocus();
    setGeometry(m_rect);
    show();
}

void VOKR_CELL_EDIT::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (m_closing)
        return;
    m_closing = true;
    if (text() != m_initial_text && m_tx_manager->get_tx_instance())
        commit();
    m_view->editor_closed(this);
    close();
}
