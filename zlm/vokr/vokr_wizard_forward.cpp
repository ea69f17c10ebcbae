// The wizard facade's edits forwarded to the manager, and its readers of the current instance.
#include "vokr_wizard.h"

#include "vokr_assert.h"
#include "vokr_globals.h"
#include "vokr_tx_manager.h"

VOKR_TX_MANAGER* VOKR_WIZARD::manager() const
{
    VOKR_ASSERT(m_manager != NULL);
    return m_manager;
}

KSM_TX_SIGNAL_SET* VOKR_WIZARD::current_signals() const
{
    return manager()->is_empty() ? nullptr : manager()->get_signal_nodes(-1);
}

KSM_TX_TRIGGER* VOKR_WIZARD::current_trigger() const { return manager()->get_trigger_object(); }

// ---- node list --------------------------------------------------------------------------------------------

bool VOKR_WIZARD::insert_node(const QString& name)
{
    return manager()->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
}

int VOKR_WIZARD::insert_nodes(const QString& group_name, const QStringList& nodes, int tap,
                              bool allow_duplicate_node_name)
{
    return manager()->insert_nodes(group_name, nodes, tap != 0 ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS,
                                   allow_duplicate_node_name);
}

int VOKR_WIZARD::delete_node(int first, int last) { return manager()->delete_node(first, last); }
bool VOKR_WIZARD::group_node(int first, int last) { return manager()->group_node(first, last); }
bool VOKR_WIZARD::ungroup_node(int index) { return manager()->ungroup_node(index); }
bool VOKR_WIZARD::toggle_node(int index) { return manager()->toggle_node(index); }

void VOKR_WIZARD::create_mnemonic_table(int node, const QString& name, const QStringList& symbols,
                                        const QStringList& patterns)
{
    manager()->create_mnemonic_table(node, name, symbols, patterns);
}

// ---- settings ---------------------------------------------------------------------------------------------

bool VOKR_WIZARD::set_sample_depth(const QString& text)
{
    manager()->set_sample_depth(text);
    return true;
}

bool VOKR_WIZARD::set_ram_type(const QString& text)
{
    manager()->set_ram_type(text);
    return true;
}

bool VOKR_WIZARD::set_number_of_segments(const QString& text)
{
    manager()->set_number_of_segments(text);
    return true;
}

bool VOKR_WIZARD::set_storage_qualifier_type(const QString& text)
{
    manager()->set_storage_qualifier_type(text);
    return true;
}

bool VOKR_WIZARD::set_trigger_level(const QString& text)
{
    manager()->set_trigger_level(text);
    return true;
}

// The level (or storage-qualifier pattern) the diagram shows; the canvas addresses no other.
bool VOKR_WIZARD::set_trigger_level(int level)
{
    if (level < VOKR_TX_MANAGER::FIRST_PATTERN_LEVEL || level >= MAX_LEVELS)
        return false;
    manager()->set_trigger_level(level);
    return true;
}

bool VOKR_WIZARD::set_data_nodes_allocated(const QString& text)
{
    return manager()->set_corvix_data_nodes_allocated(text);
}

bool VOKR_WIZARD::set_trigger_nodes_allocated(const QString& text)
{
    return manager()->set_corvix_trigger_nodes_allocated(text);
}

bool VOKR_WIZARD::set_advanced_trigger(int level, bool on)
{
    if (!current_trigger() || level < VOKR_TX_MANAGER::FIRST_PATTERN_LEVEL || level >= MAX_LEVELS)
        return false;
    manager()->set_advanced_trigger(level, on ? KSM_LTYPE_ADVANCED : KSM_LTYPE_BASIC_AND);
    return true;
}

// The toggles act on the current instance; without one there is nothing to switch.
bool VOKR_WIZARD::toggle_trigger_in()
{
    if (current_trigger())
        manager()->enable_trigger_in(!is_trigger_in_enabled());
    return true;
}

bool VOKR_WIZARD::toggle_trigger_out()
{
    if (current_trigger())
        manager()->enable_trigger_out(!is_trigger_out_enabled());
    return true;
}

bool VOKR_WIZARD::toggle_segmented_acquisition()
{
    if (current_trigger())
        manager()->set_segmented_acquisition_mode(!is_segmented_acquisition_enabled());
    return true;
}

bool VOKR_WIZARD::toggle_record_data_discontinuities()
{
    if (current_trigger())
        manager()->enable_data_discontinuities(!is_record_data_discontinuities_enabled());
    return true;
}

bool VOKR_WIZARD::get_sample_depth(QString* text) { return manager()->get_sample_depth(text, -1); }
bool VOKR_WIZARD::get_number_of_segments(QString* text) { return manager()->get_number_of_segments(text, -1); }
bool VOKR_WIZARD::get_trigger_level(QString* text) { return manager()->get_trigger_level(text, -1); }
bool VOKR_WIZARD::is_advanced_trigger(int level)
{
    return level >= VOKR_TX_MANAGER::FIRST_PATTERN_LEVEL && manager()->is_advanced_trigger(level, 0);
}

bool VOKR_WIZARD::is_port_storage_qualifier_type()
{
    QString text;
    return manager()->get_storage_qualifier_type(&text, -1) && text == "Input port";
}

// ---- readers ----------------------------------------------------------------------------------------------

int VOKR_WIZARD::get_sample_depth() const
{
    const KSM_TX_SIGNAL_SET* signals_ = current_signals();
    return signals_ ? signals_->get_sample_depth() : 0;
}

int VOKR_WIZARD::get_data_nodes_allocated() const
{
    const KSM_TX_SIGNAL_SET* signals_ = current_signals();
    return signals_ ? signals_->get_corvix_data_nodes_allocated() : 0;
}

int VOKR_WIZARD::get_trigger_nodes_allocated() const
{
    const KSM_TX_SIGNAL_SET* signals_ = current_signals();
    return signals_ ? signals_->get_corvix_trigger_nodes_allocated() : 0;
}

bool VOKR_WIZARD::get_data_nodes_allocated(QString* text) const
{
    *text = QString::number(get_data_nodes_allocated());
    return true;
}

bool VOKR_WIZARD::get_trigger_nodes_allocated(QString* text) const
{
    *text = QString::number(get_trigger_nodes_allocated());
    return true;
}

bool VOKR_WIZARD::get_trigger_level(int* count) const
{
    const KSM_TX_TRIGGER* trigger = current_trigger();
    *count = trigger ? trigger->get_num_levels() : 0;
    return trigger != nullptr;
}

int VOKR_WIZARD::get_segment_size() const
{
    const KSM_TX_TRIGGER* return_value = current_trigger();
    VOKR_ASSERT(return_value != NULL);
    return return_value->get_segment_size();
}

bool VOKR_WIZARD::is_trigger_in_enabled() const
{
    KSM_TX_TRIGGER* trigger = current_trigger();
    return trigger && trigger->get_trigger_in()->is_enabled();
}

bool VOKR_WIZARD::is_trigger_out_enabled() const
{
    KSM_TX_TRIGGER* trigger = current_trigger();
    return trigger && trigger->get_trigger_out()->is_enabled();
}

bool VOKR_WIZARD::is_segmented_acquisition_enabled() const
{
    const KSM_TX_TRIGGER* trigger = current_trigger();
    return trigger && trigger->is_segmented();
}

bool VOKR_WIZARD::is_record_data_discontinuities_enabled() const
{
    const KSM_TX_TRIGGER* trigger = current_trigger();
    return trigger && trigger->is_record_data_discontinuities();
}

bool VOKR_WIZARD::get_ram_type(QString* label) const
{
    const int type = manager()->get_talvern_ram_type(0);
    *label = vokr_ram_type_labels().value(type, vokr_ram_type_labels().at(KSM_RAM_AUTO));
    return true;
}

bool VOKR_WIZARD::get_all_ram_types(QStringList* labels) const
{
    *labels = vokr_ram_type_labels();
    return true;
}

bool VOKR_WIZARD::get_trigger_expression(int level, QString* text) const
{
    const KSM_TX_TRIGGER* return_value = current_trigger();
    VOKR_ASSERT(return_value != NULL);
    const char* expression = return_value->get_advanced_trigger_expression(level);
    *text = QString::fromLocal8Bit(expression ? expression : "");
    return !text->isEmpty();
}
