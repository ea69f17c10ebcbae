#include "vokr_object_find_target.h"

#include "vokr_object.h"
#include "vokr_object_widget.h"

#include <algorithm>

namespace {

QString text_of(const VOKR_OBJECT* box, int id)
{
    QString text;
    box->get_string_property_text(id, &text, VOKR_BANK_CURRENT);
    return text;
}

}  // namespace

VOKR_OBJECT_FIND_TARGET::VOKR_OBJECT_FIND_TARGET(VOKR_OBJECT_WIDGET* canvas, VOKR_OBJECT* box, unsigned int type)
    : m_canvas(canvas), m_box(box)
{
    set_type(type);
}

QString VOKR_OBJECT_FIND_TARGET::kind_name(int kind)
{
    return kind >= 0 && kind < VOKR_DRAW_KIND_COUNT ? QString::fromLatin1(vokr_kind_name(kind)) : QString();
}

QString VOKR_OBJECT_FIND_TARGET::get_string() const
{
    switch (get_type()) {
    case NODE_NAME:
    case OTHER_NAME: return text_of(m_box, VOKR_STRING_NAME);
    case BUS_NAME: return text_of(m_box, VOKR_STRING_BUS_NAME);
    case ALIAS: return text_of(m_box, VOKR_STRING_ALIAS);
    case KIND: return kind_name(m_box->get_draw_kind());
    default: return QString();
    }
}

void VOKR_OBJECT_FIND_TARGET::show()
{
    if (m_canvas)
        m_canvas->ensure_visible(m_box);
}

void VOKR_OBJECT_FIND_TARGET::add_find_targets(VOKR_OBJECT* box, std::vector<YAB_FIND_TARGET*>* targets,
                                               VOKR_OBJECT_WIDGET* canvas, int direction, const VOKR_OBJECT* current,
                                               int* start)
{
    const bool is_current = box == current;
    if (is_current && direction == 2)
        *start = targets->empty() ? 0 : int(targets->size()) - 1;
    const int type = box->get_type();
    const QString name = text_of(box, VOKR_STRING_NAME);
    const QString bus_name = text_of(box, VOKR_STRING_BUS_NAME);
    auto add = [&](unsigned int bit) { targets->push_back(new VOKR_OBJECT_FIND_TARGET(canvas, box, bit)); };
    if (type == VOKR_TYPE_NODE) {
        if (!name.isEmpty())
            add(NODE_NAME);
    } else if (type == VOKR_TYPE_BUS && !bus_name.isEmpty()) {
        add(BUS_NAME);
    } else if (!name.isEmpty()) {
        add(OTHER_NAME);
    }
    if (!text_of(box, VOKR_STRING_ALIAS).isEmpty())
        add(ALIAS);
    add(KIND);
    if (is_current && direction != 2)
        *start = int(targets->size()) - 1;
    QList<VOKR_OBJECT*> children;
    for (VOKR_OBJECT* child : box->get_children())
        children.prepend(child);
    std::stable_sort(children.begin(), children.end(), [](const VOKR_OBJECT* a, const VOKR_OBJECT* b) {
        return a->get_top() + a->get_height() / 2 < b->get_top() + b->get_height() / 2;
    });
    for (VOKR_OBJECT* child : std::as_const(children))
        add_find_targets(child, targets, canvas, direction, current, start);
}
