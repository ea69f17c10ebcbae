// The manager's acquisition resources: sample depth, segments, RAM type, pipeline level, the
// allocated and used node counts and the usage estimates.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_globals.h"

namespace {

// Depths and segment counts from this on are shown in units of K.
constexpr int KIBI = 1024;

// Decimal number, or 0 when the text is not one.
int decimal(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

// The count typed into an allocation box: the number when the text is exactly its decimal
// form, otherwise (empty text, leading zeros, garbage) the node limit.
int typed_count(const QString& text)
{
    const int count = decimal(text);
    return QString::number(count) == text ? count : KSM_MAX_NODES;
}

// Writes a count as text; true when it is not 0.
bool count_text(int count, QString* text)
{
    *text = QString::number(count);
    return count != 0;
}

QString segment_count_text(int count)
{
    return count < KIBI ? QString::number(count) + "  " : QString::number(count / KIBI) + " K ";
}

}  // namespace

// ---- sample depth -------------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::convert_to_sample_depth_int(const QString& text)
{
    if (text.endsWith(" K"))
        return decimal(text.left(text.size() - 2)) * KIBI;
    return decimal(text);
}

QString VOKR_TX_MANAGER::convert_to_sample_depth_str(int depth)
{
    if (depth != m_sample_depth_value) {
        m_sample_depth_text = depth < KIBI ? QString::number(depth) : QString::number(depth / KIBI) + " K";
        m_sample_depth_value = depth;
    }
    return m_sample_depth_text;
}

bool VOKR_TX_MANAGER::get_sample_depth(int* depth, int instance) const
{
    *depth = 0;
    if (is_empty())
        return false;
    *depth = signal_set_at(instance)->get_sample_depth();
    return true;
}

bool VOKR_TX_MANAGER::get_sample_depth(QString* text, int instance)
{
    int depth = 0;
    if (!get_sample_depth(&depth, instance)) {
        *text = QString::number(KSM_DEFAULT_SAMPLE_DEPTH);  // what a new session would start with
        return false;
    }
    *text = convert_to_sample_depth_str(depth);
    return true;
}

QString VOKR_TX_MANAGER::unlisted_sample_depth_text(const QString& text)
{
    return QString(
               "The stored sample depth %1 is not one of the depths offered (0, 64 to 128 K); choose a listed "
               "depth to change it")
        .arg(text);
}

// A session may store any depth up to 1024 K; the sample depth list offers 0 and 64 to 128 K.
// Each instance whose depth the list cannot show is named in the Messages window.
void VOKR_TX_MANAGER::explain_unlisted_sample_depths()
{
    for (int entry = 0; entry < m_tx_session->get_num_instances(); ++entry) {
        const KSM_TX_SIGNAL_SET* set = m_tx_session->get_signal_set_at(entry);
        const int depth = set ? set->get_sample_depth() : 0;
        const bool listed = depth == 0 || (depth >= 64 && depth <= 128 * KIBI && (depth & (depth - 1)) == 0);
        if (listed || m_tx_session->is_power_up_view(entry))
            continue;
        const char* name = m_tx_session->get_instance_at(entry)->get_name();
        const QByteArray text = QString("Instance \"%1\": %2")
                                    .arg(QString::fromLocal8Bit(name ? name : ""),
                                         unlisted_sample_depth_text(convert_to_sample_depth_str(depth)))
                                    .toLocal8Bit();
        MSG_W warning;
        warning.fill_args("%1!s!/WVOKR_UNLISTED_SAMPLE_DEPTH", text.constData());
        warning.post();
    }
}

bool VOKR_TX_MANAGER::is_zero_sample_depth() const
{
    int depth = 0;
    return !get_sample_depth(&depth, -1) || depth == 0;
}

void VOKR_TX_MANAGER::set_sample_depth(const QString& text)
{
    if (text.isEmpty() || !m_tx_signals)
        return;
    const int depth = convert_to_sample_depth_int(text);
    const int old_depth = m_tx_signals->get_sample_depth();
    edit_setting(depth == old_depth, [&] {
        if (!m_tx_signals->set_sample_depth(depth))
            return;
        // A segmented capture keeps a segment size the pane's list offers for the new depth (the
        // first entry, two segments, where the old size is none), and the pane shows the size
        // stored: what it shows is what the next run captures and the file keeps.
        const bool segmented = m_tx_trigger && m_tx_trigger->is_segmented();
        if (segmented && depth >= 2 && !is_listed_segment_size(depth, m_tx_trigger->get_segment_size()))
            m_tx_trigger->set_segment_size(depth / 2);
        if (depth == 0 || old_depth == 0 || segmented)
            emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
        update_modified_flag();
    });
}

// ---- segments -----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_number_of_segments(QString* text, int instance) const
{
    int count = 0;
    const int size = is_empty() ? 0 : trigger_at(instance)->get_segment_size();
    if (size != 0) {
        int depth = 0;
        get_sample_depth(&depth, instance);
        count = depth / size;
    }
    *text = segment_count_text(count);
    return true;
}

void VOKR_TX_MANAGER::set_number_of_segments(const QString& text)
{
    const QStringList parts = text.split(' ');
    int count = decimal(parts.value(0));
    if (parts.size() > 1 && parts[1].startsWith('K'))
        count *= KIBI;
    int depth = 0;
    get_sample_depth(&depth, -1);
    const int size = count == 0 ? 0 : depth / count;
    if (!m_tx_trigger)
        return;
    edit_setting(size == m_tx_trigger->get_segment_size(), [&] { note_change(m_tx_trigger->set_segment_size(size)); });
}

int VOKR_TX_MANAGER::get_segment_size() const
{
    KSM_TX_TRIGGER* return_value = m_tx_trigger;
    VOKR_ASSERT(return_value);
    return return_value ? return_value->get_segment_size() : 0;
}

// ---- RAM type -----------------------------------------------------------------------------------------------

QStringList VOKR_TX_MANAGER::get_ram_type_labels() { return vokr_ram_type_labels(); }

bool VOKR_TX_MANAGER::get_ram_type(QString* label, int instance) const
{
    if (is_empty()) {
        *label = get_ram_type_labels().at(KSM_RAM_AUTO);
        return false;
    }
    const int type = signal_set_at(instance)->get_ram_type();
    if (type >= KSM_RAM_AUTO && type <= KSM_RAM_LARGE)
        *label = get_ram_type_labels().at(type);
    return true;
}

void VOKR_TX_MANAGER::set_ram_type(const QString& label)
{
    const int index = get_ram_type_labels().indexOf(label);
    const KSM_TALVERN_RAM_TYPE type = index < 0 ? KSM_RAM_AUTO : static_cast<KSM_TALVERN_RAM_TYPE>(index);
    if (!m_tx_signals)
        return;
    edit_setting(type == m_tx_signals->get_ram_type(), [&] { note_change(m_tx_signals->set_ram_type(type)); });
}

KSM_TALVERN_RAM_TYPE VOKR_TX_MANAGER::get_talvern_ram_type(int instance) const
{
    return m_tx_session ? m_tx_session->get_instance_ram_type_at(resolved(instance)) : KSM_RAM_AUTO;
}

// ---- pipeline -----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_pipeline_level(QString* text, int instance)
{
    if (is_empty()) {
        *text = "0";
        return false;
    }
    m_pipeline_text = QString::number(signal_set_at(instance)->get_pipeline_level());
    *text = m_pipeline_text;
    return true;
}

void VOKR_TX_MANAGER::set_pipeline_level(const QString& text)
{
    if (text.isEmpty() || !m_tx_signals)
        return;
    const int level = decimal(text);
    edit_setting(level == m_tx_signals->get_pipeline_level(), [&] {
        if (!m_tx_signals->set_pipeline_level(level))
            return;
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
        update_modified_flag();
    });
}

// ---- allocated node counts ----------------------------------------------------------------------------------

// Stores one allocated count of an instance unless it is unchanged, marking the session
// modified when `mark_modified` is set; false without an instance.
bool VOKR_TX_MANAGER::set_allocated(int (KSM_TX_SIGNAL_SET::*get)() const, bool (KSM_TX_SIGNAL_SET::*set)(int),
                                    int count, int instance, bool mark_modified)
{
    if (is_empty())
        return false;
    KSM_TX_SIGNAL_SET* signals_ = signal_set_at(instance);
    if ((signals_->*get)() == count)
        return true;
    (signals_->*set)(count);
    if (mark_modified)
        update_modified_flag();
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
    return true;
}

void VOKR_TX_MANAGER::set_data_nodes_allocated(int count, int instance)
{
    set_allocated(&KSM_TX_SIGNAL_SET::get_data_nodes_allocated, &KSM_TX_SIGNAL_SET::set_data_nodes_allocated, count,
                  instance, false);
}

void VOKR_TX_MANAGER::set_trigger_nodes_allocated(int count, int instance)
{
    set_allocated(&KSM_TX_SIGNAL_SET::get_trigger_nodes_allocated, &KSM_TX_SIGNAL_SET::set_trigger_nodes_allocated,
                  count, instance, false);
}

void VOKR_TX_MANAGER::set_storage_qualifier_nodes_allocated(int count, int instance)
{
    set_allocated(&KSM_TX_SIGNAL_SET::get_storage_qualifier_nodes_allocated,
                  &KSM_TX_SIGNAL_SET::set_storage_qualifier_nodes_allocated, count, instance, false);
}

bool VOKR_TX_MANAGER::set_corvix_data_nodes_allocated(int count, int instance)
{
    return set_allocated(&KSM_TX_SIGNAL_SET::get_corvix_data_nodes_allocated,
                         &KSM_TX_SIGNAL_SET::set_corvix_data_nodes_allocated, count, instance, true);
}

bool VOKR_TX_MANAGER::set_corvix_trigger_nodes_allocated(int count, int instance)
{
    return set_allocated(&KSM_TX_SIGNAL_SET::get_corvix_trigger_nodes_allocated,
                         &KSM_TX_SIGNAL_SET::set_corvix_trigger_nodes_allocated, count, instance, true);
}

void VOKR_TX_MANAGER::set_data_nodes_allocated(const QString& text) { set_data_nodes_allocated(typed_count(text), -1); }

void VOKR_TX_MANAGER::set_trigger_nodes_allocated(const QString& text)
{
    set_trigger_nodes_allocated(typed_count(text), -1);
}

bool VOKR_TX_MANAGER::set_corvix_data_nodes_allocated(const QString& text)
{
    return set_corvix_data_nodes_allocated(typed_count(text), -1);
}

bool VOKR_TX_MANAGER::set_corvix_trigger_nodes_allocated(const QString& text)
{
    return set_corvix_trigger_nodes_allocated(typed_count(text), -1);
}

// Callbacks of the panel's allocation boxes: each typed count is one undo unit.
void VOKR_TX_MANAGER::edit_allocated(void (VOKR_TX_MANAGER::*set)(int, int), int count)
{
    edit_setting(false, [&] {
        (this->*set)(count, -1);
        update_modified_flag();
    });
}

void VOKR_TX_MANAGER::data_manual_input_changed(int count)
{
    edit_allocated(&VOKR_TX_MANAGER::set_data_nodes_allocated, count);
}

void VOKR_TX_MANAGER::trigger_manual_input_changed(int count)
{
    edit_allocated(&VOKR_TX_MANAGER::set_trigger_nodes_allocated, count);
}

void VOKR_TX_MANAGER::storage_qualifier_manual_input_changed(int count)
{
    edit_allocated(&VOKR_TX_MANAGER::set_storage_qualifier_nodes_allocated, count);
}

int VOKR_TX_MANAGER::get_data_nodes_allocated(int instance) const
{
    return is_empty() ? 0 : signal_set_at(instance)->get_data_nodes_allocated();
}

int VOKR_TX_MANAGER::get_trigger_nodes_allocated(int instance) const
{
    return is_empty() ? 0 : signal_set_at(instance)->get_trigger_nodes_allocated();
}

int VOKR_TX_MANAGER::get_storage_qualifier_nodes_allocated(int instance) const
{
    return is_empty() ? 0 : signal_set_at(instance)->get_storage_qualifier_nodes_allocated();
}

int VOKR_TX_MANAGER::get_corvix_data_nodes_allocated(int instance) const
{
    return is_empty() ? 0 : signal_set_at(instance)->get_corvix_data_nodes_allocated();
}

int VOKR_TX_MANAGER::get_corvix_trigger_nodes_allocated(int instance) const
{
    return is_empty() ? 0 : signal_set_at(instance)->get_corvix_trigger_nodes_allocated();
}

// The text forms of the allocated counts show the current instance, "0" without one.
bool VOKR_TX_MANAGER::get_data_nodes_allocated(QString* text) const
{
    *text = QString::number(get_data_nodes_allocated(-1));
    return true;
}

bool VOKR_TX_MANAGER::get_trigger_nodes_allocated(QString* text) const
{
    *text = QString::number(get_trigger_nodes_allocated(-1));
    return true;
}

bool VOKR_TX_MANAGER::get_corvix_data_nodes_allocated(QString* text) const
{
    *text = QString::number(get_corvix_data_nodes_allocated(-1));
    return true;
}

bool VOKR_TX_MANAGER::get_corvix_trigger_nodes_allocated(QString* text) const
{
    *text = QString::number(get_corvix_trigger_nodes_allocated(-1));
    return true;
}

// ---- used node counts ---------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_data_nodes_used(int instance) const
{
    return is_empty() ? 0 : trigger_at(instance)->get_data_nodes_used();
}

int VOKR_TX_MANAGER::get_trigger_nodes_used(int instance) const
{
    return is_empty() ? 0 : trigger_at(instance)->get_trigger_nodes_used();
}

int VOKR_TX_MANAGER::get_storage_qualifier_nodes_used(int instance) const
{
    return is_empty() ? 0 : trigger_at(instance)->get_storage_qualifier_nodes_used();
}

// The text forms of the used counts are true only when some nodes are used.
bool VOKR_TX_MANAGER::get_data_nodes_used(QString* text) const { return count_text(get_data_nodes_used(-1), text); }

bool VOKR_TX_MANAGER::get_trigger_nodes_used(QString* text) const
{
    return count_text(get_trigger_nodes_used(-1), text);
}

bool VOKR_TX_MANAGER::get_storage_qualifier_nodes_used(QString* text) const
{
    return count_text(get_storage_qualifier_nodes_used(-1), text);
}

// ---- usage estimates ----------------------------------------------------------------------------------------

// Both estimates are asked of the session by index, so -1 is resolved to the current entry
// first; a disabled instance uses nothing.
unsigned long VOKR_TX_MANAGER::get_le_usage(int instance, DEV_FAMILY_ENUM family) const
{
    KSM_TX_INSTANCE* entry = get_instance_at(instance);
    if (!entry || !entry->is_enabled())
        return 0;
    return m_tx_session->get_instance_estimated_logic_cell_count_at(resolved(instance), family);
}

unsigned long VOKR_TX_MANAGER::get_ram_bits_usage(int instance) const
{
    KSM_TX_INSTANCE* entry = get_instance_at(instance);
    if (!entry || !entry->is_enabled())
        return 0;
    return m_tx_session->get_instance_ram_bits_usage_at(resolved(instance));
}
