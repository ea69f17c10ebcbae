// The wizard facade: its data session, document, panel and trigger logic.
#include "vokr_wizard.h"

#include "vokr_assert.h"
#include "vokr_enum.h"
#include "vokr_globals.h"
#include "vokr_object_widget.h"
#include "vokr_operator_widget.h"
#include "vokr_session_object.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDir>
#include <QFrame>
#include <QSplitter>
#include <QStackedLayout>
#include <QTimer>

#include <algorithm>

// ---- data session -----------------------------------------------------------------------------------------

// A fresh reserved session holding one instance with its signal set and trigger. The repository
// gives a new instance its signal set and trigger; only an instance without them gets new ones.
bool VOKR_WIZARD::create_session()
{
    KSM_DATA_MANAGER* repository = KSM_DATA_MANAGER::get_data_repository_manager();
    if (repository->get_session_opened(RESERVED_SESSION))
        repository->close_session(RESERVED_SESSION);
    m_data_session = repository->create_session(RESERVED_SESSION);
    VOKR_ASSERT(m_data_session != NULL);
    m_data_instance = m_data_session->create_lumetra_instance(nullptr);
    VOKR_ASSERT(m_data_instance != NULL);
    m_signal_set = m_data_instance->get_active_signal_set();
    if (!m_signal_set)
        m_signal_set = m_data_instance->create_signal_set(nullptr, false);
    m_trigger = m_signal_set->get_active_trigger();
    if (!m_trigger)
        m_trigger = m_signal_set->create_trigger(nullptr, false);
    return m_signal_set && m_trigger;
}

bool VOKR_WIZARD::initialize_sample_depth(int depth)
{
    VOKR_ASSERT(m_signal_set != NULL);
    return m_signal_set->set_sample_depth(depth);
}

// Label 0 (automatic) matches whole, without case; otherwise the first of the other labels that
// contains the text; anything else is automatic.
bool VOKR_WIZARD::initialize_ram_type(const QString& text)
{
    VOKR_ASSERT(m_signal_set != NULL);
    const QStringList& labels = vokr_ram_type_labels();
    int type = KSM_RAM_AUTO;
    if (text.compare(labels.at(KSM_RAM_AUTO), Qt::CaseInsensitive) != 0) {
        for (int i = KSM_RAM_MEDIUM; i <= KSM_RAM_LARGE && type == KSM_RAM_AUTO; ++i)
            if (labels.at(i).contains(text, Qt::CaseInsensitive))
                type = i;
    }
    return m_signal_set->set_talvern_ram_type(static_cast<KSM_TALVERN_RAM_TYPE>(type));
}

bool VOKR_WIZARD::initialize_data_nodes_allocated(int count)
{
    VOKR_ASSERT(m_signal_set != NULL);
    return m_signal_set->set_corvix_data_node_size(count);
}

// The wizard's trigger inputs are wires acq_trigger_in[0..count-1] that capture data and trigger.
bool VOKR_WIZARD::initialize_trigger_nodes_allocated(int count)
{
    VOKR_ASSERT(m_signal_set != NULL);
    bool ok = m_signal_set->set_corvix_trigger_node_size(count);
    for (int i = 0; ok && i < count; ++i) {
        const QByteArray name = QString("acq_trigger_in[%1]").arg(i).toLocal8Bit();
        KSM_DATA_WIRE* wire =
            m_signal_set->create_wire(name.constData(), KSM_CAPTURE_BOTH, KSM_TAP_PRE_SYNTHESIS, true, nullptr, false);
        ok = wire && m_signal_set->append(wire, true);
    }
    return ok;
}

// The repository refuses levels past its limit, which is also the wizard's.
bool VOKR_WIZARD::initialize_trigger_level(int count)
{
    VOKR_ASSERT(m_trigger != NULL);
    bool ok = true;
    for (int i = 0; ok && i < count; ++i)
        ok = m_trigger->append_new_level(true);
    return ok;
}

bool VOKR_WIZARD::initialize_advanced_trigger_expression(int level, const QString& text)
{
    VOKR_ASSERT(m_trigger != NULL);
    if (text.isEmpty() || text == "NONE")
        return m_trigger->set_trigger_level_cond_expr_type(level, true);
    m_trigger->set_trigger_level_cond_expr_type(level, false);
    return m_trigger->set_advanced_trigger_expression(level, text.toLocal8Bit().constData(), false);
}

bool VOKR_WIZARD::initialize_segment_size(int size)
{
    VOKR_ASSERT(m_trigger != NULL);
    if (!m_trigger->set_segment_size(size, false))
        return false;
    return m_trigger->set_trigger_type(size != 0 ? KSM_TTYPE_SEGMENTED : KSM_TTYPE_NORMAL, false);
}

bool VOKR_WIZARD::initialize_storage_qualifier_type(const QString& text)
{
    VOKR_ASSERT(m_trigger != NULL);
    if (text == "OFF")
        return m_trigger->set_storage_qualifier_type(KSM_SQTYPE_CONTINUOUS);
    if (text == "PORT")
        return m_trigger->set_storage_qualifier_type(KSM_SQTYPE_INPUT_PORT);
    return false;
}

bool VOKR_WIZARD::initialize_record_data_discontinuities(bool record)
{
    VOKR_ASSERT(m_trigger != NULL);
    m_trigger->set_storage_qualifier_gap_record(record);
    return true;
}

bool VOKR_WIZARD::initialize_trigger_in(bool enable)
{
    VOKR_ASSERT(m_signal_set != NULL);
    m_signal_set->enable_trigger_in(enable);
    return true;
}

bool VOKR_WIZARD::initialize_trigger_out(bool enable)
{
    VOKR_ASSERT(m_signal_set != NULL);
    m_signal_set->enable_trigger_out(enable);
    return true;
}

// ---- document ---------------------------------------------------------------------------------------------

// A manager without frame on a transactional session over the reserved data session; the
// wizard, not the manager, owns the session.
bool VOKR_WIZARD::create_document()
{
    destroy_document();
    m_tx_session = new KSM_TX_SESSION(new VOKR_SESSION_OBJECT, true);
    if (!m_tx_session->open_session(RESERVED_SESSION)) {
        m_last_error = QString::fromStdString(m_tx_session->get_last_error());
        delete m_tx_session;
        m_tx_session = nullptr;
        return false;
    }
    m_manager = new VOKR_TX_MANAGER(nullptr);
    return m_manager->open_document(m_tx_session);
}

bool VOKR_WIZARD::save_document(const char* path)
{
    VOKR_ASSERT(m_tx_session != NULL);
    if (m_tx_session->save_session(path))
        return true;
    m_last_error = QString::fromStdString(m_tx_session->get_last_error());
    return false;
}

void VOKR_WIZARD::destroy_document()
{
    if (m_manager) {
        m_manager->close_document();
        delete m_manager;
        m_manager = nullptr;
    }
    if (m_tx_session) {
        m_tx_session->close_session();
        delete m_tx_session;
        m_tx_session = nullptr;
    }
}

// ---- undo units -------------------------------------------------------------------------------------------

void VOKR_WIZARD::begin_action()
{
    KSM_TX_INSTANCE* return_value = m_tx_session ? m_tx_session->get_instance_at(0) : nullptr;
    VOKR_ASSERT(return_value != NULL);
    return_value->begin_action();
}

void VOKR_WIZARD::end_action()
{
    KSM_TX_INSTANCE* return_value = m_tx_session ? m_tx_session->get_instance_at(0) : nullptr;
    VOKR_ASSERT(return_value != NULL);
    return_value->end_action();
    if (m_manager->get_frame_wnd()) {
        m_manager->on_update_edit_undo();
        m_manager->on_update_edit_redo();
    }
}

// ---- panel ------------------------------------------------------------------------------------------------

namespace {

// A sunken panel whose stacked layout holds `content`.
QFrame* framed(QWidget* content)
{
    auto* frame = new QFrame;
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QStackedLayout(frame);
    layout->addWidget(content);
    return frame;
}

}  // namespace

// Builds the panel on the first call: node list above the operator palette on the left, the
// advanced trigger diagram on the right. Every call refreshes the diagram and attaches the panel.
void VOKR_WIZARD::create_frame(QWidget* parent)
{
    VOKR_ASSERT(m_manager != NULL);
    if (!m_layout) {
        destroy_frame();
        m_layout = new QStackedLayout;
        m_horizontal_splitter = new QSplitter(Qt::Horizontal);
        m_vertical_splitter = new QSplitter(Qt::Vertical, m_horizontal_splitter);
        m_view = new VOKR_VIEW(nullptr, m_manager);
        m_vertical_splitter->addWidget(framed(m_view));
        m_operator_widget = new VOKR_OPERATOR_WIDGET;
        m_vertical_splitter->addWidget(m_operator_widget);
        m_object_widget = new VOKR_OBJECT_WIDGET(nullptr, m_manager);
        m_horizontal_splitter->addWidget(framed(m_object_widget));
        m_layout->addWidget(m_horizontal_splitter);
    }
    m_object_widget->on_update(nullptr, VOKR_HINT_ADVANCED);
    if (parent && !m_layout->parentWidget() && !parent->layout())
        parent->setLayout(m_layout);
}

void VOKR_WIZARD::resize_frame()
{
    if (!m_layout)
        return;
    QList<int> sizes = m_vertical_splitter->sizes();
    VOKR_ASSERT(sizes.count() == 2);
    const int half = (sizes[0] + sizes[1]) / 2;
    m_vertical_splitter->setSizes({half, half});
    sizes = m_horizontal_splitter->sizes();
    VOKR_ASSERT(sizes.count() == 2);
    m_horizontal_splitter->setSizes({LEFT_COLUMN_WIDTH, sizes[0] + sizes[1] - LEFT_COLUMN_WIDTH});
    m_horizontal_splitter->refresh();
    QTimer::singleShot(10, m_object_widget, &VOKR_OBJECT_WIDGET::on_edit_arrange_all_objects);
}

// A panel whose page is gone went with it.
void VOKR_WIZARD::destroy_frame()
{
    if (m_layout) {
        QWidget* widget = m_layout->widget(0);
        VOKR_ASSERT(widget != NULL);
        delete widget;
        delete m_layout;
    }
    m_layout = nullptr;
    m_horizontal_splitter = m_vertical_splitter = nullptr;
    m_view = nullptr;
    m_operator_widget = nullptr;
    m_object_widget = nullptr;
}

// ---- trigger logic ----------------------------------------------------------------------------------------

// Lines up the advanced levels of instance 0 and writes each one's logic. The wizard handles at
// most MAX_LEVELS levels; a session with more has the rest left out.
bool VOKR_WIZARD::create_triggers(const QString& name, const QString& path)
{
    VOKR_ASSERT(m_tx_session != NULL && m_manager != NULL);
    m_tx_session->commit_session();
    KSM_TX_TRIGGER* return_value = m_manager->get_trigger_object();
    VOKR_ASSERT(return_value != NULL);
    KSM_DATA_TRIGGER* trigger = return_value->get_data_trigger();
    trigger->finalize_triggers();
    clear_levels();
    int n = 0;
    m_manager->get_trigger_level(&n, 0);
    n = std::clamp(n, 0, static_cast<int>(MAX_LEVELS));
    for (int i = 0; i < n; ++i) {
        m_roots[i] = nullptr;
        if (trigger->is_trigger_level_basic_condition(i))
            continue;
        m_advanced_used = true;
        RUV_ADVANCED_TRIGGER_FACTORY* factory = trigger->get_advanced_trigger_factory(i, 0);
        m_roots[i] = factory ? factory->get_root() : nullptr;
    }
    RUV_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(m_roots, m_delays, n);
    m_last_error.clear();
    bool ok = true;
    for (int i = 0; i < n; ++i)
        ok = write_level_hdl(i, name, path) && ok;
    return ok;
}

// A level without a root (basic, or an expression that does not parse) has no logic to write.
bool VOKR_WIZARD::write_level_hdl(int level, const QString& name, const QString& path)
{
    if (!m_roots[level])
        return true;
    const QString module = QString("%1_level_%2").arg(name).arg(level + 1);
    if (RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl(module, m_roots[level], false, true, false, path))
        return true;
    if (m_last_error.isEmpty())
        m_last_error = QString("Cannot write module %1 to %2").arg(module, QDir(path).filePath(module + ".v"));
    return false;
}

bool VOKR_WIZARD::is_advanced_trigger_complete(int level)
{
    VOKR_ASSERT(m_manager != NULL);
    KSM_TX_TRIGGER* trigger = current_trigger();
    int n = 0;
    if (!trigger || !m_manager->get_trigger_level(&n, -1) || n == 0)
        return true;
    KSM_DATA_MNEMONICS* mnemonics = m_tx_session->get_data_session()->get_mnemonics();
    for (int i = 0; i < n; ++i) {
        if ((level != -1 && i != level) || !m_manager->is_advanced_trigger(i, -1))
            continue;
        KSM_TX_TREE_OBJECT* root = trigger->get_advanced_root(i);
        std::string text;
        if (!root || !root->get_equation(&text, mnemonics, trigger, i + 1, false))
            return false;
    }
    return true;
}

int VOKR_WIZARD::get_pipeline_latency(int level)
{
    KSM_TX_TRIGGER* return_value = current_trigger();
    VOKR_ASSERT(return_value != NULL);
    RUV_ADVANCED_TRIGGER_FACTORY* factory = return_value->get_advanced_trigger_factory(level, 0);
    RUV_ADVANCED_TRIGGER_OUTPUT* root = factory ? factory->get_root() : nullptr;
    return root ? root->get_pipeline_latency() : 1;
}

int VOKR_WIZARD::get_delay(int level) const { return is_level(level) ? m_delays[level] : 0; }

void VOKR_WIZARD::destroy_triggers()
{
    clear_levels();
    m_advanced_used = false;
}

void VOKR_WIZARD::clear_levels()
{
    std::fill(std::begin(m_roots), std::end(m_roots), nullptr);
    std::fill(std::begin(m_delays), std::end(m_delays), 0);
}
