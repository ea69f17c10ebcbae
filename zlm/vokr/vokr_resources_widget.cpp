#include "vokr_resources_widget.h"

#include "vokr_assert.h"
#include "vokr_config_check_box.h"
#include "vokr_frame_wnd.h"
#include "vokr_int_combo_box.h"
#include "vokr_panel_header.h"
#include "vokr_tree_widget.h"
#include "vokr_tx_manager.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// Connects and reports a connection that cannot be made with the statement's text.
#define VOKR_CHECKED_CONNECT(statement) VOKR_ASSERT_TEXT(statement, #statement)

VOKR_RESOURCES_WIDGET::VOKR_RESOURCES_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_instance(instance), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    QHBoxLayout* header = vokr_build_panel(this, build_content());
    auto* title = new QLabel("Resources:");
    title->setFixedHeight(22);
    header->addWidget(title);
    on_update(nullptr, VOKR_HINT_VIEW);
    VOKR_CHECKED_CONNECT(connect(m_tx_manager, SIGNAL(updated(QObject*, int)), this, SLOT(on_update(QObject*, int)),
                                 Qt::QueuedConnection));
    m_flag_table->setEnabled(true);
    m_counter_table->setEnabled(true);
}

QWidget* VOKR_RESOURCES_WIDGET::build_content()
{
    VOKR_TX_MANAGER* manager = m_tx_manager;
    auto* grid = new QGridLayout;
    m_flag_combo = new VOKR_INT_COMBO_BOX(0, 20);
    m_counter_combo = new VOKR_INT_COMBO_BOX(0, 20);
    m_flag_table = new VOKR_TREE_WIDGET(0, 1, true, m_instance, manager, 0);
    m_flag_table->setHeaderLabels({"Name", "Initial Value", "Current Value"});
    m_counter_table = new VOKR_TREE_WIDGET(1, 32, false, m_instance, manager, 4294967295u);
    m_counter_table->setHeaderLabels({"Name", "Width", "Initial Value", "Current Value"});
    // A header the pane's edge cuts reads whole in its tooltip.
    for (VOKR_TREE_WIDGET* table : {m_flag_table, m_counter_table})
        for (int column = 0; column < table->columnCount(); ++column)
            table->headerItem()->setToolTip(column, table->headerItem()->text(column));
    m_flag_combo->setObjectName("flag_count");
    m_counter_combo->setObjectName("counter_count");
    m_flag_table->setObjectName("flag_table");
    m_counter_table->setObjectName("counter_table");
    grid->addWidget(new QLabel("Flags:"), 0, 0);
    grid->addWidget(m_flag_combo, 0, 1);
    grid->addWidget(m_flag_table, 1, 0, 1, 4);
    grid->addWidget(new QLabel("Counters:"), 2, 0);
    grid->addWidget(m_counter_combo, 2, 1);
    grid->addWidget(m_counter_table, 3, 0, 1, 4);

    auto* group = new QGroupBox("Configurable at runtime");
    auto* options = new QVBoxLayout(group);
    m_goto_box = new VOKR_CONFIG_CHECK_BOX("Goto state destinations", RUV_RUNTIME_GOTO_DESTINATIONS);
    m_values_box = new VOKR_CONFIG_CHECK_BOX("Comparison values", RUV_RUNTIME_COMPARISON_VALUES);
    m_comparison_box = new VOKR_CONFIG_CHECK_BOX("Comparison operators", RUV_RUNTIME_COMPARISON_OPERATORS);
    m_logical_box = new VOKR_CONFIG_CHECK_BOX("Logical operators", RUV_RUNTIME_LOGICAL_OPERATORS);
    for (VOKR_CONFIG_CHECK_BOX* box : get_option_boxes()) {
        options->addWidget(box);
        VOKR_CHECKED_CONNECT(manager->connect(box, SIGNAL(toggled(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION, bool)),
                                              SLOT(set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION, bool))));
    }
    grid->addWidget(group, 4, 0, 1, 3);
    grid->setColumnStretch(3, 1);

    VOKR_CHECKED_CONNECT(manager->connect(m_flag_combo, SIGNAL(current_count_changed(int)), SLOT(set_flag_count(int))));
    VOKR_CHECKED_CONNECT(
        manager->connect(m_flag_table, SIGNAL(column_one_changed(int, int)), SLOT(set_flag_initial_value(int, int))));
    VOKR_CHECKED_CONNECT(manager->connect(m_flag_table, SIGNAL(column_zero_changed(int, const QString*)),
                                          SLOT(set_flag_name(int, const QString*))));
    VOKR_CHECKED_CONNECT(
        manager->connect(m_counter_combo, SIGNAL(current_count_changed(int)), SLOT(set_counter_count(int))));
    VOKR_CHECKED_CONNECT(
        manager->connect(m_counter_table, SIGNAL(column_one_changed(int, int)), SLOT(set_counter_width(int, int))));
    VOKR_CHECKED_CONNECT(manager->connect(m_counter_table, SIGNAL(column_two_changed(int, unsigned int)),
                                          SLOT(set_counter_initial_value(int, unsigned int))));
    VOKR_CHECKED_CONNECT(manager->connect(m_counter_table, SIGNAL(column_zero_changed(int, const QString*)),
                                          SLOT(set_counter_name(int, const QString*))));
    auto* content = new QWidget;
    content->setLayout(grid);
    return content;
}

QList<VOKR_CONFIG_CHECK_BOX*> VOKR_RESOURCES_WIDGET::get_option_boxes() const
{
    return {m_goto_box, m_values_box, m_comparison_box, m_logical_box};
}

// The flags and counters tables share one rule, kept by the tables.
bool VOKR_RESOURCES_WIDGET::is_edit_refused() const { return m_flag_table->is_edit_refused(); }

namespace {

const KSM_DATA_LOG* current_log(const VOKR_TX_MANAGER* manager, int instance)
{
    const KSM_TX_SESSION* session = manager->get_session();
    const int entry = instance < 0 ? manager->get_current_instance_index() : instance;
    return session && entry >= 0 ? session->get_log_at(entry) : nullptr;
}

void add_row(QTreeWidget* table, const QStringList& texts)
{
    auto* item = new QTreeWidgetItem(texts);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    table->addTopLevelItem(item);
}

}  // namespace

void VOKR_RESOURCES_WIDGET::fill_flags()
{
    m_flag_combo->set_current_count(m_tx_manager->get_flag_count(m_instance));
    m_flag_table->clear();
    const KSM_DATA_LOG* log = current_log(m_tx_manager, m_instance);
    for (int i = 0; i < m_tx_manager->get_flag_count(m_instance); ++i) {
        int initial = 0;
        const char* name = m_tx_manager->get_flag_name(i, m_instance, &initial);
        QStringList texts{QString::fromLocal8Bit(name ? name : ""), QString("%1").arg(initial)};
        if (log && log->get_number_flags() > i)
            texts << QString("%1").arg(log->get_flag_value(i));
        add_row(m_flag_table, texts);
    }
}

void VOKR_RESOURCES_WIDGET::fill_counters()
{
    m_counter_combo->set_current_count(m_tx_manager->get_counter_count(m_instance));
    m_counter_table->clear();
    const KSM_DATA_LOG* log = current_log(m_tx_manager, m_instance);
    for (int i = 0; i < m_tx_manager->get_counter_count(m_instance); ++i) {
        int width = 0;
        unsigned int initial = 0;
        const char* name = m_tx_manager->get_counter_name(i, m_instance, &width, &initial);
        QStringList texts{QString::fromLocal8Bit(name ? name : ""), QString("%1").arg(width),
                          QString("%1").arg(initial)};
        if (log && log->get_number_counters() > i)
            texts << QString("%1").arg(log->get_counter_value(i));
        add_row(m_counter_table, texts);
    }
}

void VOKR_RESOURCES_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_VIEW))
        return;
    VOKR_UPDATE_GUARD filling;
    fill_flags();
    fill_counters();
    // Without a trigger (no instance at all) the check boxes keep what they show.
    static const RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION options[] = {
        RUV_RUNTIME_GOTO_DESTINATIONS, RUV_RUNTIME_COMPARISON_VALUES, RUV_RUNTIME_COMPARISON_OPERATORS,
        RUV_RUNTIME_LOGICAL_OPERATORS};
    if (m_tx_manager->state_trigger(m_instance))
        for (int i = 0; i < 4; ++i)
            get_option_boxes()[i]->setChecked(m_tx_manager->is_configurable(options[i], m_instance));
    const bool enabled = !is_edit_refused();
    m_flag_combo->setEnabled(enabled);
    m_counter_combo->setEnabled(enabled);
    for (VOKR_CONFIG_CHECK_BOX* box : get_option_boxes())
        box->setEnabled(enabled);
}
