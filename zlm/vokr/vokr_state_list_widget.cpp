#include "vokr_state_list_widget.h"

#include "pirq.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// Owns its record, so that clearing the list frees both.
class STATE_ITEM : public QListWidgetItem {
public:
    VOKR_STATE state;
};

constexpr int STATE_ROLE = Qt::UserRole;

void draw_transition(QPainter* painter, int from, int to, int left, int right)
{
    QRect arc;
    int start = 4320;
    int span = 2880;
    QPolygon head;
    if (from < to) {
        const int top = from + 6, bottom = to - 6, h = bottom - top + 1;
        arc = QRect(right - h / 2 + 6, top, h, h);
        const int cx = (arc.left() + arc.right()) / 2;
        head << QPoint(cx, bottom) << QPoint(cx + 5, bottom - 2) << QPoint(cx + 5, bottom + 4);
    } else if (from > to) {
        const int top = to + 6, bottom = from - 6, h = bottom - top + 1;
        arc = QRect(left - h / 2 - 6, top, h, h);
        span = -2880;
        const int cx = (arc.left() + arc.right()) / 2;
        head << QPoint(cx, top) << QPoint(cx - 5, top - 3) << QPoint(cx - 5, top + 3);
    } else {
        arc.setCoords(left + 6, 0, right - 6, 0);
        arc.setTop(from + 10 - 14);  // the box's bottom is its centre + 9
        arc.setBottom(arc.top() + 39);
        start = 0;
        span = -2880;
        const int cy = (arc.top() + arc.bottom()) / 2;
        head << QPoint(arc.left(), cy) << QPoint(arc.left() - 3, cy + 5) << QPoint(arc.left() + 3, cy + 5);
    }
    painter->setBrush(Qt::NoBrush);
    painter->drawArc(arc, start, span);
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addPolygon(head);
    path.closeSubpath();
    painter->fillPath(path, pirq_get_brush(22));
    painter->drawPolygon(head, Qt::OddEvenFill);
}

QRect box_of(const QRect& visual)
{
    QRect box(0, 0, 50, 20);
    box.moveCenter(visual.center());
    return box;
}

}  // namespace

void VOKR_STATE::enable()
{
    if (reached)
        return;
    reached = true;
    for (VOKR_STATE* next : successors)
        next->enable();
}

VOKR_STATE_LIST_WIDGET::VOKR_STATE_LIST_WIDGET()
{
    qRegisterMetaType<VOKR_STATE*>("VOKR_STATE *");
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
}

VOKR_STATE* VOKR_STATE_LIST_WIDGET::state_of(const QListWidgetItem* item)
{
    return item ? item->data(STATE_ROLE).value<VOKR_STATE*>() : nullptr;
}

void VOKR_STATE_LIST_WIDGET::add_item()
{
    auto* item = new STATE_ITEM;
    VOKR_STATE* state = &item->state;
    state->item = item;
    if (count() == 0) {
        item->setText("Start");
        item->setForeground(QBrush(Qt::white, Qt::SolidPattern));
        item->setBackground(QBrush(Qt::black, Qt::SolidPattern));
        state->reached = true;
    } else if (count() == 1) {
        state_of(this->item(0))->successors = {state};
    }
    item->setTextAlignment(Qt::AlignCenter);
    item->setSizeHint(QSize(60, 50));
    item->setData(STATE_ROLE, QVariant::fromValue(state));
    addItem(item);
}

void VOKR_STATE_LIST_WIDGET::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    for (bool reached_pass : {false, true})
        for (int row = 0; row < count(); ++row)
            if (state_of(item(row))->reached == reached_pass)
                draw_state(&painter, row);
}

void VOKR_STATE_LIST_WIDGET::draw_state(QPainter* painter, int row)
{
    const VOKR_STATE* state = state_of(item(row));
    const QRect visual = visualItemRect(item(row));
    const QRect box = box_of(visual);
    if (row == 0 && !item(row)->isSelected()) {
        QRegion around = QRegion(visual).subtracted(QRegion(box));
        painter->save();
        painter->setClipRegion(around);
        painter->fillRect(visual, pirq_get_color(298));
        painter->restore();
    }
    if (state->current) {
        painter->setPen(QPen(QColor(Qt::darkYellow), 4));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box.adjusted(-4, -4, 4, 4));
    }
    QPen pen = pirq_get_pen(state->reached ? 18 : 27);
    pen.setWidth(1);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(box);
    for (const VOKR_STATE* next : state->successors) {
        const QRect target = box_of(visualItemRect(next->item));
        draw_transition(painter, box.center().y(), target.center().y(), box.left(), box.right());
    }
}
