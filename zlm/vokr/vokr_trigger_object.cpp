#include "vokr_trigger_object.h"

#include "vokr_object.h"
#include "vokr_object_widget.h"

VOKR_TRIGGER_OBJECT::~VOKR_TRIGGER_OBJECT()
{
    VOKR_OBJECT_WIDGET::forget_boxes(&m_object_array);
    qDeleteAll(m_object_array);
    for (QList<VOKR_OBJECT*>* snapshot : std::as_const(m_undo_list)) {
        qDeleteAll(*snapshot);
        delete snapshot;
    }
}

KSM_TX_TREE_OBJECT* VOKR_TRIGGER_OBJECT::get_child_object(int index)
{
    for (VOKR_OBJECT* box : std::as_const(m_object_array))
        if (!box->get_parent() && index-- == 0)
            return box;
    return nullptr;
}

int VOKR_TRIGGER_OBJECT::get_child_count()
{
    int count = 0;
    for (const VOKR_OBJECT* box : std::as_const(m_object_array))
        count += box->get_parent() ? 0 : 1;
    return count;
}

KSM_TX_TREE_OBJECT* VOKR_TRIGGER_OBJECT::create_child_object(int)
{
    m_object_array.append(new VOKR_OBJECT(nullptr, QPoint(0, 0), this));
    return m_object_array.last();
}

bool VOKR_TRIGGER_OBJECT::get_equation(std::string* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set,
                                       int condition, bool power_up)
{
    text->clear();
    VOKR_OBJECT_WIDGET* marker = power_up ? VOKR_OBJECT::power_up_view_marker() : VOKR_OBJECT::normal_view_marker();
    for (int i = m_object_array.size() - 1; i >= 0; --i)
        m_object_array[i]->set_context(marker);
    for (int i = m_object_array.size() - 1; i >= 0; --i) {
        VOKR_OBJECT* box = m_object_array[i];
        if (box->get_type() != VOKR_TYPE_RESULT)
            continue;
        if (box->get_children().isEmpty())
            return false;
        QString equation;
        uint32_t code = VOKR_ELEMENT_OK;
        VOKR_OBJECT* at_fault = nullptr;
        box->get_element_equation(&equation, mnemonics, node_set, &code, &at_fault, condition, power_up);
        *text = equation.toLocal8Bit().toStdString();
        return code == VOKR_ELEMENT_OK;
    }
    return false;
}

bool VOKR_TRIGGER_OBJECT::duplicate_trigger(bool to_power_up)
{
    bool ok = true;
    for (int i = m_object_array.size() - 1; i >= 0; --i)
        ok = m_object_array[i]->duplicate_trigger(to_power_up) && ok;
    return ok;
}
