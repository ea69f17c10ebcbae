// Editing steps of the diagram canvas on a box: selection, handing children on, reordering,
// copying sub-trees, renaming in place, and the box's texts for tooltips and text forms.
#include "vokr_object.h"

#include "vokr_object_widget.h"
#include "vokr_rename_edit.h"

#include <algorithm>

namespace {

constexpr int TALL_HEIGHT = 100;

// The rename editor sits this many pixels up and left of the label, so that its frame does not
// cover the text.
constexpr int RENAME_EDIT_OFFSET = 2;

}  // namespace

// ---- selection ------------------------------------------------------------------------------------

void VOKR_OBJECT::select(bool value, bool add_only, bool toggle)
{
    bool selected = value;
    if (toggle)
        selected = value ? !m_saved_selection : m_saved_selection;
    else if (add_only && !value)
        return;
    m_property.set(VOKR_INT_SELECTED, selected ? 1 : 0, VOKR_BANK_CURRENT);
}

void VOKR_OBJECT::select_all()
{
    for (VOKR_OBJECT* child : std::as_const(m_children)) {
        child->select(true, false, false);
        child->select_all();
    }
}

bool VOKR_OBJECT::has_selected_expanded_child() const
{
    return std::any_of(m_children.begin(), m_children.end(), [](const VOKR_OBJECT* child) {
        return child->is_selected() && !child->m_children.isEmpty() && child->is_expanded();
    });
}

int vokr_find_child_of_type(const QList<VOKR_OBJECT*>* list, int type)
{
    if (!list)
        return -1;
    for (int i = 0; i < list->size(); ++i)
        if (list->at(i)->get_type() == type)
            return i;
    return -1;
}

// ---- children -------------------------------------------------------------------------------------

void VOKR_OBJECT::promote_children()
{
    if (!m_parent)
        return;
    while (!m_children.isEmpty()) {
        VOKR_OBJECT* child = m_children.takeLast();
        m_parent->m_children.append(child);
        child->m_parent = m_parent;
    }
}

void VOKR_OBJECT::make_selected_earlier()
{
    for (int i = 1; i < m_children.size(); ++i)
        if (m_children[i]->is_selected() && !m_children[i - 1]->is_selected())
            m_children.swapItemsAt(i - 1, i);
}

void VOKR_OBJECT::make_selected_later()
{
    for (int i = m_children.size() - 2; i >= 0; --i)
        if (m_children[i]->is_selected() && !m_children[i + 1]->is_selected())
            m_children.swapItemsAt(i, i + 1);
}

// ---- copies ---------------------------------------------------------------------------------------

void VOKR_OBJECT::clone(VOKR_OBJECT_WIDGET* context, QList<VOKR_OBJECT*>* output, const QList<VOKR_OBJECT*>& source,
                        VOKR_OBJECT* parent)
{
    VOKR_OBJECT* adapter = nullptr;
    for (const VOKR_OBJECT* box : source) {
        if (box->m_parent)
            continue;
        auto* copy = new VOKR_OBJECT(context, box->get_top_left(), nullptr);
        output->append(copy);
        copy->copy_from(box, output, nullptr);
        if (!parent)
            continue;
        parent->attach(copy, true);
        parent->expand(true);
        if (VOKR_OBJECT_WIDGET* canvas = copy->get_canvas())
            adapter = canvas->fix_connection(parent, copy, adapter);
    }
}

void VOKR_OBJECT::copy_from(const VOKR_OBJECT* source, QList<VOKR_OBJECT*>* output, VOKR_OBJECT* parent)
{
    if (source == this)
        return;
    m_property = source->m_property;
    // A condition for routed nodes keeps its patterns outside the property block.
    m_power_up_pattern = source->m_power_up_pattern;
    m_pattern = source->m_pattern;
    m_node_list = source->m_node_list;
    if (parent)
        parent->attach(this, false);
    for (const VOKR_OBJECT* child : source->m_children) {
        auto* copy = new VOKR_OBJECT(m_context, child->get_top_left(), m_trigger);
        output->append(copy);
        copy->copy_from(child, output, this);
    }
}

// ---- renaming -------------------------------------------------------------------------------------

VOKR_RENAME_EDIT* VOKR_OBJECT::start_rename(VOKR_OBJECT_WIDGET* canvas)
{
    if (m_rename_edit || !canvas)
        return m_rename_edit;
    QString alias;
    get_string_property_text(VOKR_STRING_ALIAS, &alias, VOKR_BANK_CURRENT);
    auto* edit = new VOKR_RENAME_EDIT(this, canvas, alias);
    // Diagram units to canvas pixels: the canvas draws `zoom` tenths of a unit per pixel.
    const int zoom = canvas->get_zoom();
    auto pixels = [zoom](const QPoint& p) {
        return QPoint(p.x() * VOKR_OBJECT_WIDGET::ZOOM_ONE_TO_ONE / zoom,
                      p.y() * VOKR_OBJECT_WIDGET::ZOOM_ONE_TO_ONE / zoom);
    };
    const QRect text = get_text_rect();
    edit->setGeometry(
        QRect(pixels(text.topLeft()), pixels(text.bottomRight())).translated(-RENAME_EDIT_OFFSET, -RENAME_EDIT_OFFSET));
    edit->selectAll();
    edit->show();
    edit->setFocus();
    m_rename_edit = edit;
    return edit;
}

VOKR_RENAME_EDIT* VOKR_OBJECT::get_rename_edit() const { return m_rename_edit; }

bool VOKR_OBJECT::end_rename()
{
    if (!m_rename_edit)
        return false;
    m_property.set_setting_string(VOKR_STRING_ALIAS, m_rename_edit->text(), VOKR_BANK_CURRENT);
    m_rename_edit->get_canvas()->update();
    close_rename_edit();
    return true;
}

// The editor goes once control is back in the event loop: this may run inside its own signal.
void VOKR_OBJECT::close_rename_edit()
{
    if (!m_rename_edit)
        return;
    m_rename_edit->forget_box();
    m_rename_edit->hide();
    m_rename_edit->deleteLater();
    m_rename_edit = nullptr;
}

// ---- texts ------------------------------------------------------------------------------------------

QString VOKR_OBJECT::append_delays(const QString& text) const
{
    QString result = text;
    const QString& delay = get_data_delay(false);
    if (!delay.isEmpty())
        result += '@' + delay;
    if (is_used_int(VOKR_INT_PIPELINE_LENGTH)) {
        const QString& pipeline = get_pipeline();
        if (!pipeline.isEmpty())
            result += '#' + pipeline;
    }
    return result;
}

QString VOKR_OBJECT::get_summary_text()
{
    QString alias;
    get_string_property_text(VOKR_STRING_ALIAS, &alias, VOKR_BANK_CURRENT);
    if (!alias.isEmpty() && (!is_expanded() || get_height() < TALL_HEIGHT))
        return append_delays(alias);
    if (get_height() < TALL_HEIGHT) {
        QString text;
        switch (get_type()) {
        case VOKR_TYPE_NODE:
        case VOKR_TYPE_BUS: text = get_display_name(false); break;
        case VOKR_TYPE_BUS_VALUE: text = get_bus_value(-1, nullptr, nullptr, nullptr); break;
        default: break;
        }
        if (!text.isEmpty())
            return append_delays(text);
    }
    return append_delays(QString::fromLatin1(vokr_kind_symbol(get_draw_kind())));
}

QString VOKR_OBJECT::get_tooltip(const VOKR_OBJECT_WIDGET* canvas)
{
    const Qt::CursorShape cursor = canvas ? canvas->cursor().shape() : Qt::BlankCursor;
    if (cursor == Qt::CrossCursor)
        return QStringLiteral("drag and drop onto another object to connect");
    if (cursor == Qt::ArrowCursor)
        return is_expanded() ? QStringLiteral("click to collapse") : QStringLiteral("click to expand");

    QString text = QString::fromLatin1(vokr_kind_name(get_draw_kind()));
    auto add = [&text](const QString& part, const char* lead) {
        if (!part.isEmpty())
            text += QLatin1String(lead) + part;
    };
    auto string_property = [this](int id) {
        QString value;
        get_string_property_text(id, &value, VOKR_BANK_CURRENT);
        return value;
    };
    add(string_property(VOKR_STRING_NAME), ", ");
    switch (get_type()) {
    case VOKR_TYPE_BUS: add(string_property(VOKR_STRING_BUS_NAME), ", "); break;
    case VOKR_TYPE_BUS_VALUE: add(get_bus_value(-1, nullptr, nullptr, nullptr), ", "); break;
    case VOKR_TYPE_ELD: add(string_property(VOKR_STRING_PATTERN), ", "); break;
    case VOKR_TYPE_SHIFT: add(get_shift_distance(), ", "); break;
    default: break;
    }
    if (is_used_int(VOKR_INT_DATA_DELAY))
        add(get_data_delay(false), ", data delay ");
    else if (is_used_int(VOKR_INT_PIPELINE_LENGTH))
        add(get_pipeline(), ", pipeline ");
    return text;
}
