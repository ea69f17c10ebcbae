#include "vokr_state_machine_dlg.h"

#include "ksm.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_database_manager.h"
#include "vokr_frame_wnd.h"
#include "vokr_node.h"
#include "vokr_state_machine_table_view.h"
#include "vokr_table_fit.h"
#include "vokr_tx_manager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>

namespace {

constexpr const char* VALID = "Valid";

// A node name without the prefix up to its first ':'.
QString after_colon(const QString& name)
{
    const int colon = name.indexOf(':');
    return colon < 0 ? name : name.mid(colon + 1);
}

QStringList after_colon(const QStringList& names)
{
    QStringList cut;
    for (const QString& name : names)
        cut << after_colon(name);
    return cut;
}

const char* empty_list_text(int netlist, bool recreate)
{
    if (netlist == 0)
        return recreate ? "No pre-synthesis state machines tapped" : "No pre-synthesis state machines found";
    return recreate ? "No post-fitting state machines tapped" : "No post-fitting state machines found";
}

void make_grey(QStandardItem* item, bool selectable)
{
    item->setForeground(QBrush(Qt::gray));
    if (!selectable)
        item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
}

}  // namespace

bool VOKR_STATE_MACHINE_DLG::is_status_text(const QString& text)
{
    return text == UNTAPPABLE || text == ALREADY_TAPPED || text == NOT_TAPPED || text == UNCHANGED || text == UNUSABLE;
}

bool VOKR_STATE_MACHINE_DLG::is_empty_list_text(const QString& text)
{
    for (int netlist : {0, 1})
        for (bool recreate : {false, true})
            if (text == empty_list_text(netlist, recreate))
                return true;
    return false;
}

VOKR_STATE_MACHINE_DLG::VOKR_STATE_MACHINE_DLG(VOKR_FRAME_WND* frame, bool recreate, QWidget* parent)
    : PIRQ_DIALOG(parent), m_frame(frame), m_tx_manager(frame->get_tx_manager()), m_recreate(recreate)
{
    setWindowTitle(recreate ? "Recreate State Machine Mnemonics" : "Add State Machine Nodes");
    m_netlist_label = new QLabel("Netlist: ");
    m_netlist_combo = new QComboBox;
    m_netlist_combo->addItems({"Pre-synthesis", "Post-fitting"});
    m_overwrite_check = new QCheckBox("Overwrite existing mnemonic table");
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    m_found_label = new QLabel("State machine nodes found:");
    m_table = new VOKR_STATE_MACHINE_TABLE_VIEW(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_netlist_label, 0, 0);
    grid->addWidget(m_netlist_combo, 0, 1, 1, 3);
    grid->addWidget(m_overwrite_check, 0, 5, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->addWidget(m_found_label, 3, 0, 1, 6, Qt::AlignBottom);
    grid->addWidget(m_table, 4, 0, 6, 6);
    grid->addWidget(m_buttons, 10, 5);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &VOKR_STATE_MACHINE_DLG::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &VOKR_STATE_MACHINE_DLG::reject);
    connect(m_buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_table, &QTableView::doubleClicked, this,
            &VOKR_STATE_MACHINE_DLG::on_double_click_state_machine_node_list);

    get_ok_button()->setEnabled(false);
    m_netlist_combo->setCurrentIndex(0);
    on_state_machine_filter_combo_changed(0);
    connect(m_netlist_combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VOKR_STATE_MACHINE_DLG::on_state_machine_filter_combo_changed);
    connect(m_overwrite_check, &QCheckBox::stateChanged, this,
            &VOKR_STATE_MACHINE_DLG::on_state_machine_overwrite_table_check_box);
    if (recreate)
        m_overwrite_check->setChecked(true);
    else
        m_overwrite_check->hide();
}

VOKR_STATE_MACHINE_DLG::~VOKR_STATE_MACHINE_DLG() { delete m_biv_manager; }

int VOKR_STATE_MACHINE_DLG::get_netlist_index() const { return m_netlist_combo->currentIndex(); }

QPushButton* VOKR_STATE_MACHINE_DLG::get_ok_button() const
{
    return m_buttons ? m_buttons->button(QDialogButtonBox::Ok) : nullptr;
}

VOKR_BIV_MANAGER* VOKR_STATE_MACHINE_DLG::get_biv_manager()
{
    if (!m_biv_manager)
        m_biv_manager = new VOKR_BIV_MANAGER;
    return m_biv_manager;
}

void VOKR_STATE_MACHINE_DLG::on_state_machine_filter_combo_changed(int index)
{
    if (index == -1)
        return;
    m_table->reset_columns();
    get_ok_button()->setEnabled(false);
    fill(get_netlist_index());
    QStandardItemModel* model = m_table->get_model();
    m_overwrite_check->setEnabled(model->rowCount() > 0);
    if (model->rowCount() == 0) {
        auto* text = new QStandardItem(empty_list_text(get_netlist_index(), m_recreate));
        auto* empty = new QStandardItem;
        make_grey(text, false);
        make_grey(empty, false);
        model->appendRow({text, empty});
    }
    m_table->fit_columns();
    vokr_fit_window(this);
}

void VOKR_STATE_MACHINE_DLG::on_state_machine_overwrite_table_check_box(int)
{
    on_state_machine_filter_combo_changed(get_netlist_index());
}

void VOKR_STATE_MACHINE_DLG::on_double_click_state_machine_node_list()
{
    if (get_ok_button()->isEnabled())
        accept();
}

void VOKR_STATE_MACHINE_DLG::fill(int netlist)
{
    QStringList& names = netlist == 0 ? m_pre_names : m_post_names;
    if (names.isEmpty())
        VOKR_DATABASE_MANAGER(this).get_state_machine_list(&names);
    const bool keep_statuses = netlist != 0 && !m_recreate && !m_post_statuses_known;
    if (netlist != 0 && !m_recreate && !m_post_statuses_known)
        ++m_post_evaluations;
    for (int row = 0; row < names.size(); ++row) {
        m_table->get_model()->appendRow({new QStandardItem(names[row]), new QStandardItem});
        if (m_recreate) {
            const int group = find_group(netlist, names[row]);
            if (group < 0)
                show_status(row, NOT_TAPPED);
            else if (is_mnemonics_unchanged(group, names[row]))
                show_status(row, UNCHANGED);
            else
                show_valid(row, netlist, names[row], group);
        } else {
            const QString status =
                netlist != 0 && m_post_statuses_known ? m_post_statuses.value(row) : add_status(netlist, names[row]);
            if (keep_statuses)
                m_post_statuses << status;
            if (status == VALID)
                show_valid(row, netlist, names[row], -1);
            else
                show_status(row, status);
        }
        m_table->resizeRowToContents(row);
    }
    if (keep_statuses)
        m_post_statuses_known = true;
}

// Whether every node is a name of the post-fitting hierarchy.
bool VOKR_STATE_MACHINE_DLG::is_in_post_fitting_hierarchy(const QStringList& nodes) const
{
    VOKR_TOZ_MANAGER hierarchy(1);
    if (!hierarchy.get_root())
        return false;
    for (const QString& node : nodes)
        if (!hierarchy.get_root()->find_in_descendants(node.toLocal8Bit().toStdString(), false, 1))
            return false;
    return true;
}

QString VOKR_STATE_MACHINE_DLG::add_status(int netlist, const QString& name)
{
    QStringList nodes;
    VOKR_DATABASE_MANAGER(this).get_node_list(name, &nodes);
    if (netlist != 0 && (nodes.isEmpty() || !is_in_post_fitting_hierarchy(nodes)))
        return UNTAPPABLE;
    const QStringList wanted = after_colon(nodes);
    for (int row = 0; row < m_tx_manager->get_node_count(-1); ++row) {
        KSM_DATA_NODE_DISPLAY_TYPE kind = KSM_NTYPE_NODE;
        QString node;
        m_tx_manager->get_node(row, &kind, &node, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        if (kind != KSM_NTYPE_GROUP_EXPANDED && kind != KSM_NTYPE_GROUP_COLLAPSED && wanted.contains(after_colon(node)))
            return ALREADY_TAPPED;
    }
    return has_usable_encodings(name, nodes.size()) ? VALID : UNUSABLE;
}

// A mnemonic table needs one encoding per state, all as wide as the machine's registers.
bool VOKR_STATE_MACHINE_DLG::has_usable_encodings(const QString& name, int node_count)
{
    QStringList states, encodings;
    VOKR_DATABASE_MANAGER(this).get_mnemonic_list(name, &states, &encodings);
    if (encodings.isEmpty() || encodings.size() != states.size())
        return false;
    for (const QString& encoding : encodings)
        if (encoding.size() != node_count)
            return false;
    return true;
}

void VOKR_STATE_MACHINE_DLG::show_status(int row, const QString& status)
{
    QStandardItemModel* model = m_table->get_model();
    model->item(row, 1)->setText(status);
    make_grey(model->item(row, 0), false);
    make_grey(model->item(row, 1), false);
}

void VOKR_STATE_MACHINE_DLG::show_valid(int row, int netlist, const QString& name, int group)
{
    QString table;
    if (m_recreate && m_overwrite_check->isChecked())
        m_tx_manager->get_node_mnemonics_table_name(group, &table, nullptr);
    if (table.isEmpty())
        table = unique_table_name(name);
    QStandardItemModel* model = m_table->get_model();
    model->item(row, 1)->setText(table);
    model->item(row, 0)->setForeground(netlist == 0 ? QBrush(Qt::black) : QBrush(QColor(0, 0, 255)));
    model->item(row, 1)->setForeground(QBrush(Qt::black));
}

QString VOKR_STATE_MACHINE_DLG::unique_table_name(const QString& name) const
{
    const QString base = name.mid(name.lastIndexOf('|') + 1);
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    VOKR_ASSERT(session != NULL);
    KSM_DATA_SESSION* data = session->get_data_session();
    VOKR_ASSERT(data != NULL);
    KSM_DATA_MNEMONICS* tables = data->get_mnemonics();
    VOKR_ASSERT(tables != NULL);
    const QStandardItemModel* model = m_table->get_model();
    auto taken = [&](const QString& candidate) {
        if (tables->find_table(candidate.toLocal8Bit().constData()))
            return true;
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->item(row, 1) && model->item(row, 1)->text() == candidate)
                return true;
        return false;
    };
    QString candidate = base + "_table";
    for (int n = 1; taken(candidate); ++n)
        candidate = QString("%1_table (%2)").arg(base).arg(n);
    return candidate;
}

// The first group whose members are exactly the machine's registers, tapped from its netlist.
int VOKR_STATE_MACHINE_DLG::find_group(int netlist, const QString& name)
{
    VOKR_ASSERT_TEXT(netlist != -1, "current_selection != -1");
    const KSM_DATA_WIRE_TAP_MODE wanted_tap = netlist == 0 ? KSM_TAP_PRE_SYNTHESIS : KSM_TAP_POST_FITTING;
    QStringList nodes;
    VOKR_DATABASE_MANAGER(this).get_node_list(name, &nodes);
    nodes = after_colon(nodes);
    const int count = m_tx_manager->get_node_count(-1);
    auto kind_of = [&](int row, QString* node) {
        KSM_DATA_NODE_DISPLAY_TYPE kind = KSM_NTYPE_NODE;
        m_tx_manager->get_node(row, &kind, node, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        return kind;
    };
    for (int row = 0; row < count; ++row) {
        QString group_name;
        const KSM_DATA_NODE_DISPLAY_TYPE kind = kind_of(row, &group_name);
        if (kind != KSM_NTYPE_GROUP_EXPANDED && kind != KSM_NTYPE_GROUP_COLLAPSED)
            continue;
        int member = 0;
        bool same = true;
        for (int r = row + 1; r < count; ++r, ++member) {
            QString node;
            const KSM_DATA_NODE_DISPLAY_TYPE k = kind_of(r, &node);
            if (k != KSM_NTYPE_MEMBER && k != KSM_NTYPE_LAST_MEMBER)
                break;
            same = same && member < nodes.size() && after_colon(node) == nodes[member] &&
                   VOKR_NODE(m_tx_manager, m_tx_manager->get_nodes(-1), r).get_tap_state() == wanted_tap;
        }
        if (same && member == nodes.size())
            return row;
    }
    return -1;
}

bool VOKR_STATE_MACHINE_DLG::is_mnemonics_unchanged(int group, const QString& name)
{
    QString table_name;
    if (!m_tx_manager->get_node_mnemonics_table_name(group, &table_name, nullptr) || table_name.isEmpty())
        return false;
    KSM_DATA_SESSION* data = m_tx_manager->get_session() ? m_tx_manager->get_session()->get_data_session() : nullptr;
    const KSM_DATA_MNEMONICS_TABLE* table =
        data && data->get_mnemonics() ? data->get_mnemonics()->find_table(table_name.toLocal8Bit().constData())
                                      : nullptr;
    if (!table)
        return false;
    QStringList states, encodings;
    VOKR_DATABASE_MANAGER(this).get_mnemonic_list(name, &states, &encodings);
    VOKR_ASSERT_TEXT(states.size() == encodings.size(), "node_count == pattern_list.size()");
    if (table->get_num_entries() != states.size())
        return false;
    for (int i = 0; i < states.size(); ++i) {
        const char* value = table->get_value(states[i].toLocal8Bit().constData());
        if (!value || encodings[i] != QString::fromLocal8Bit(value))
            return false;
    }
    return true;
}

void VOKR_STATE_MACHINE_DLG::accept()
{
    const int netlist = get_netlist_index();
    VOKR_ASSERT_TEXT(netlist != -1, "current_selection != -1");
    const KSM_DATA_WIRE_TAP_MODE tap = netlist == 0 ? KSM_TAP_PRE_SYNTHESIS : KSM_TAP_POST_FITTING;
    VOKR_DATABASE_MANAGER database(this);
    QStandardItemModel* model = m_table->get_model();
    m_tx_manager->begin_action(-1);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!m_table->selectionModel()->isSelected(model->index(row, 0)))
            continue;
        const QString name = model->item(row, 0)->text();
        VOKR_ASSERT_TEXT(name != "", "state_machine_name != \"\"");
        QStringList nodes, states, encodings;
        database.get_node_list(name, &nodes);
        database.get_mnemonic_list(name, &states, &encodings);
        // The table needs equally wide encodings, one per register; the database may have
        // changed since the row was shown.
        if (!has_usable_encodings(name, nodes.size()))
            continue;
        const int group = m_recreate ? find_group(netlist, name) : m_tx_manager->insert_nodes(name, nodes, tap, true);
        const QString table = model->item(row, 1)->text();
        VOKR_ASSERT_TEXT(table != "", "mnemonic_table_name != \"\"");
        if (group >= 0)
            m_tx_manager->create_mnemonic_table(group, table, states, encodings);
    }
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_NODE_PANES);
    PIRQ_DIALOG::accept();
}
