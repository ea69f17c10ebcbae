// VOKR_INSTANCE_WIDGET: construction, the instance rows and the commands. The posted state
// events and the status line are in vokr_instance_widget_status.cpp, the resource columns in
// vokr_instance_widget_resources.cpp.
#include "vokr_instance_widget.h"

#include "daw.h"
#include "ksm.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_panel_header.h"
#include "vokr_status_texts.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int ICON_CURRENT = 275;
constexpr int ICON_OTHER = 274;
constexpr int COLOR_NOT_RUNNING = 298;

QIcon icon(int id) { return QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(id))); }

// Stops the model's itemChanged from reaching on_item_changed while the pane writes items.
class ITEM_WRITE_SCOPE {
public:
    ITEM_WRITE_SCOPE(QStandardItemModel* model, VOKR_INSTANCE_WIDGET* widget) : m_model(model), m_widget(widget)
    {
        QObject::disconnect(m_model, &QStandardItemModel::itemChanged, m_widget,
                            &VOKR_INSTANCE_WIDGET::on_item_changed);
    }
    ~ITEM_WRITE_SCOPE()
    {
        QObject::connect(m_model, &QStandardItemModel::itemChanged, m_widget, &VOKR_INSTANCE_WIDGET::on_item_changed);
    }

private:
    QStandardItemModel* m_model;
    VOKR_INSTANCE_WIDGET* m_widget;
};

}  // namespace

VOKR_INSTANCE_WIDGET::VOKR_INSTANCE_WIDGET(QWidget* parent, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    build_header();
    build_tree();
    connect_actions();
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_INSTANCE_WIDGET::on_update, Qt::QueuedConnection);
}

// The pane owns the callbacks it handed out; an acquisition still running loses its reports.
VOKR_INSTANCE_WIDGET::~VOKR_INSTANCE_WIDGET() { qDeleteAll(m_live_callbacks.keys()); }

void VOKR_INSTANCE_WIDGET::build_header()
{
    QHBoxLayout* row = nullptr;
    vokr_build_pane_column(this, &row);
    row->setSpacing(6);
    row->addWidget(new QLabel("Instance Manager:", this));
    // The buttons carry names by which scripts press them as a person would.
    const struct {
        QToolButton** button;
        const char* name;
        PIRQ_ACTION_ENUM action;
        int icon;
        void (VOKR_INSTANCE_WIDGET::*slot)();
    } buttons[] = {
        {&m_run_button, "instance_run", PIRQ_ACTION_RUN, 536, &VOKR_INSTANCE_WIDGET::on_tools_go},
        {&m_repeat_button, "instance_autorun", PIRQ_ACTION_AUTORUN, 10, &VOKR_INSTANCE_WIDGET::on_tools_repeat},
        {&m_stop_button, "instance_stop", PIRQ_ACTION_STOP, 633, &VOKR_INSTANCE_WIDGET::on_tools_stop},
        {&m_read_button, "instance_read_data", PIRQ_ACTION_READ_DATA, 508, &VOKR_INSTANCE_WIDGET::on_tools_data}};
    for (const auto& b : buttons) {
        QAction* action = m_tx_manager->get_action(b.action, QVariant());
        action->setIcon(icon(b.icon));
        *b.button = new QToolButton(this);
        (*b.button)->setObjectName(b.name);
        (*b.button)->setDefaultAction(action);
        connect(action, &QAction::triggered, this, b.slot);
        row->addWidget(*b.button);
    }
    m_status_line = new QLineEdit(this);
    m_status_line->setReadOnly(true);
    set_status_line(VOKR_INVALID_JTAG_CONFIGURATION, vokr_yellow_palette());
    row->addWidget(m_status_line);
    row->addWidget(vokr_new_pane_close_button(this, m_tx_manager->get_action(PIRQ_ACTION_INSTANCE_PANE, QVariant())));
}

void VOKR_INSTANCE_WIDGET::build_tree()
{
    m_tree = new QTreeView(this);
    m_tree->setObjectName("instance_tree");
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_model.setHorizontalHeaderLabels({"Instance", "Status", "Enabled", "LE usage", "Memory usage",
                                       "Small memory usage", "Medium memory usage", "Large memory usage"});
    const QStringList types = vokr_ram_type_labels();
    const char* tips[] = {"Small Memory Block Types:", "Medium Memory Block Types:", "Large Memory Block Types"};
    const int label_of_class[] = {2, 1, 3};  // the RAM-type labels of small, medium and large blocks
    for (int c = 0; c < 3; ++c)
        m_model.horizontalHeaderItem(SMALL + c)->setToolTip(tips[c] + types.value(label_of_class[c]));
    m_tree->setModel(&m_model);
    m_tree->setColumnWidth(NAME, 200);
    m_tree->setColumnWidth(ENABLED, 65);
    fit_columns();
    connect(&m_model, &QStandardItemModel::headerDataChanged, this, &VOKR_INSTANCE_WIDGET::fit_columns);
    layout()->addWidget(m_tree);
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
}

void VOKR_INSTANCE_WIDGET::connect_actions()
{
    const struct {
        PIRQ_ACTION_ENUM id;
        void (VOKR_INSTANCE_WIDGET::*slot)();
    } actions[] = {{PIRQ_ACTION_ADD_INSTANCE, &VOKR_INSTANCE_WIDGET::on_instance_add},
                   {PIRQ_ACTION_DELETE_INSTANCE, &VOKR_INSTANCE_WIDGET::on_instance_delete},
                   {PIRQ_ACTION_RENAME_INSTANCE, &VOKR_INSTANCE_WIDGET::on_instance_rename},
                   {PIRQ_ACTION_ENUM(0), nullptr},
                   {PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, &VOKR_INSTANCE_WIDGET::on_instance_enable_powerup},
                   {PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER, &VOKR_INSTANCE_WIDGET::on_instance_disable_powerup},
                   {PIRQ_ACTION_DUPLICATE_TRIGGER, &VOKR_INSTANCE_WIDGET::on_instance_duplicate_trigger},
                   {PIRQ_ACTION_ENUM(0), nullptr},
                   {PIRQ_ACTION_INSTANCE_STATUS_HELP, &VOKR_INSTANCE_WIDGET::on_instance_status_help}};
    m_tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (const auto& a : actions) {
        if (!a.slot) {
            auto* separator = new QAction(m_tree);
            separator->setSeparator(true);
            m_tree->addAction(separator);
            continue;
        }
        QAction* action = m_tx_manager->get_action(a.id, QVariant());
        m_tree->addAction(action);
        connect(action, &QAction::triggered, this, a.slot);
    }
    QAction* remove = m_tx_manager->get_action(PIRQ_ACTION_DELETE_INSTANCE, QVariant());
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    QAction* rename = m_tx_manager->get_action(PIRQ_ACTION_RENAME_INSTANCE, QVariant());
    rename->setShortcut(Qt::Key_F2);
    rename->setShortcutContext(Qt::WidgetShortcut);
    m_tx_manager->get_action(PIRQ_ACTION_ADD_INSTANCE, QVariant())->setEnabled(can_add_instance());
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VOKR_INSTANCE_WIDGET::on_selection_changed);
    connect(m_tree, &QTreeView::doubleClicked, this, &VOKR_INSTANCE_WIDGET::on_double_clicked);
}

// ---- rows ---------------------------------------------------------------------------------------------------

QStandardItem* VOKR_INSTANCE_WIDGET::find_instance_item(int entry) const
{
    for (int r = 0; r < m_model.rowCount(); ++r)
        if (m_model.item(r, NAME)->data(ENTRY_ROLE).toInt() == entry)
            return m_model.item(r, NAME);
    return nullptr;
}

bool VOKR_INSTANCE_WIDGET::rows_fit_session(int count) const
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    int e = 0;
    for (int r = 0; r < m_model.rowCount(); ++r, ++e) {
        const QStandardItem* item = m_model.item(r, NAME);
        if (e >= count || item->text() != QString::fromLocal8Bit(session->get_instance_at(e)->get_name()))
            return false;
        const bool power_up = session->is_power_up_trigger(e);
        if (item->hasChildren() != power_up)
            return false;
        e += power_up ? 1 : 0;
    }
    return e == count;
}

void VOKR_INSTANCE_WIDGET::update_instance_list()
{
    ITEM_WRITE_SCOPE scope(&m_model, this);
    const int count = m_tx_manager->get_current_instance_index() >= 0 ? m_tx_manager->get_num_instances() : 0;
    const bool generated = m_tx_manager->is_corvix_generated();
    if (!rows_fit_session(count)) {
        rebuild_rows(count);
        return;
    }
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QStandardItem* check = m_model.item(r, ENABLED);
        const int entry = check->data(ENTRY_ROLE).toInt();
        check->setCheckState(m_tx_manager->instance_is_enabled(entry) ? Qt::Checked : Qt::Unchecked);
        check->setEnabled(!generated);
    }
}

// Each row's status cell by its instance's name (a power-up row's marked), so that a rebuild (an
// instance added or renamed elsewhere) goes on showing what the acquisitions last reported, where
// the entries moved.
QHash<QString, std::pair<QString, QBrush>> VOKR_INSTANCE_WIDGET::shown_statuses() const
{
    QHash<QString, std::pair<QString, QBrush>> shown;
    for (int r = 0; r < m_model.rowCount(); ++r) {
        const QStandardItem* name = m_model.item(r, NAME);
        const QStandardItem* status = m_model.item(r, STATUS);
        shown.insert(name->text(), {status->text(), status->background()});
        if (const QStandardItem* power_up = name->child(0, STATUS))
            shown.insert(name->text() + '\n', {power_up->text(), power_up->background()});
    }
    return shown;
}

void VOKR_INSTANCE_WIDGET::rebuild_rows(int count)
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const QHash<QString, std::pair<QString, QBrush>> shown = shown_statuses();
    const auto show = [&](const QString& key, QStandardItem* status) {
        const auto it = shown.find(key);
        if (it != shown.end())
            status->setText(it->first), status->setBackground(it->second);
    };
    m_model.removeRows(0, m_model.rowCount());
    const int current = m_tx_manager->get_current_instance_index();
    const bool generated = m_tx_manager->is_corvix_generated();
    for (int e = 0; e < count; ++e) {
        append_instance_row(e, current, generated);
        QStandardItem* row = m_model.item(m_model.rowCount() - 1, NAME);
        show(row->text(), m_model.item(row->row(), STATUS));
        QModelIndex selected = m_model.index(row->row(), STATUS);
        if (session->is_power_up_trigger(e)) {
            ++e;
            auto* child = new QStandardItem("Power-Up Trigger");
            child->setEditable(false);
            child->setData(e, ENTRY_ROLE);
            child->setData(true, POWER_UP_ROLE);
            child->setBackground(e == current ? vokr_light_blue_brush() : QBrush(pirq_get_color(COLOR_NOT_RUNNING)));
            auto* status = new QStandardItem(VOKR_NOT_RUNNING);
            status->setEditable(false);
            show(row->text() + '\n', status);
            row->appendRow({child, status});
            m_tree->expand(row->index());
            selected = child->index();
        }
        if (e == current)
            m_tree->selectionModel()->select(
                selected, QItemSelectionModel::Rows | QItemSelectionModel::Current | QItemSelectionModel::Select);
    }
}

void VOKR_INSTANCE_WIDGET::append_instance_row(int entry, int current, bool generated)
{
    auto* name =
        new QStandardItem(icon(entry == current ? ICON_CURRENT : ICON_OTHER),
                          QString::fromLocal8Bit(m_tx_manager->get_session()->get_instance_at(entry)->get_name()));
    name->setData(entry, ENTRY_ROLE);
    name->setData(false, POWER_UP_ROLE);
    auto* status = new QStandardItem(VOKR_NOT_RUNNING);
    status->setEditable(false);
    auto* check = new QStandardItem("    ");
    check->setCheckable(true);
    check->setEditable(false);
    check->setCheckState(m_tx_manager->instance_is_enabled(entry) ? Qt::Checked : Qt::Unchecked);
    check->setTextAlignment(Qt::AlignLeft);
    check->setData(entry, ENTRY_ROLE);
    check->setEnabled(!generated);
    QList<QStandardItem*> row{name, status, check};
    for (int c = LE; c < COLUMNS; ++c) {
        row.append(new QStandardItem);
        row.back()->setEditable(false);
    }
    m_model.appendRow(row);
}

// Icons mark the current entry; power-up rows are light blue only while they are current (a
// tab change marks no power-up row).
void VOKR_INSTANCE_WIDGET::set_row_marks(int current, bool from_tab)
{
    ITEM_WRITE_SCOPE scope(&m_model, this);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QStandardItem* row = m_model.item(r, NAME);
        const bool is_current = from_tab ? r == current : row->data(ENTRY_ROLE).toInt() == current;
        row->setIcon(icon(is_current ? ICON_CURRENT : ICON_OTHER));
        if (QStandardItem* child = row->child(0)) {
            const bool child_current = !from_tab && child->data(ENTRY_ROLE).toInt() == current;
            child->setBackground(child_current ? vokr_light_blue_brush() : QBrush(pirq_get_color(COLOR_NOT_RUNNING)));
        }
    }
}

void VOKR_INSTANCE_WIDGET::on_sel_change_instance_tab(int index) { set_row_marks(index, true); }

void VOKR_INSTANCE_WIDGET::on_double_clicked(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    if (VOKR_LAYOUT_WIDGET* layout = m_frame->get_layout_widget()) {
        if (VOKR_VIEW* view = layout->get_current_view())
            view->save_position_data();
        layout->set_skip_position_store(true);
    }
    const QModelIndex name = index.sibling(index.row(), NAME);
    const int entry = m_model.itemFromIndex(name)->data(ENTRY_ROLE).toInt();
    m_tx_manager->set_instance(entry);
    set_row_marks(entry, false);
    notify_all({VOKR_HINT_REBUILD | VOKR_HINT_TABS, VOKR_HINT_REFRESH_VIEW});
}

void VOKR_INSTANCE_WIDGET::notify_all(std::initializer_list<unsigned int> hints)
{
    for (unsigned int hint : hints)
        emit m_tx_manager->updated(nullptr, vokr_hint(hint));
}

// ---- selection and command enabling -----------------------------------------------------------------------------

QList<QStandardItem*> VOKR_INSTANCE_WIDGET::selected_row_items() const
{
    QList<QStandardItem*> items;
    for (const QModelIndex& index : m_tree->selectionModel()->selectedRows(NAME))
        items.append(m_model.itemFromIndex(index));
    return items;
}

void VOKR_INSTANCE_WIDGET::on_selection_changed()
{
    const QList<QStandardItem*> rows = selected_row_items();
    enable_commands(rows);
    enable_edit_commands(rows);
}

void VOKR_INSTANCE_WIDGET::enable_commands(const QList<QStandardItem*>& rows)
{
    bool runnable = false, running = false, power_up_row = false;
    for (QStandardItem* row : rows) {
        const bool child = row->data(POWER_UP_ROLE).toBool();
        power_up_row = power_up_row || child;
        const int entry = child ? row->parent()->data(ENTRY_ROLE).toInt() : row->data(ENTRY_ROLE).toInt();
        if (!m_tx_manager->instance_is_enabled(entry))
            continue;
        const bool acquiring = !m_tx_manager->is_empty() && m_tx_manager->is_instance_acquiring(entry);
        running = running || acquiring;
        runnable = runnable || !acquiring;
    }
    QString chain, device;
    if (runnable && (!m_tx_manager->get_jtag_hardware(&chain) || !m_tx_manager->get_jtag_device(&device) ||
                     m_status_line->text() == VOKR_WAITING_FOR_JTAG))
        runnable = false;
    auto set = [this](PIRQ_ACTION_ENUM id, bool on) { m_tx_manager->get_action(id, QVariant())->setEnabled(on); };
    set(PIRQ_ACTION_RENAME_INSTANCE, rows.size() == 1 && !power_up_row);
    set(PIRQ_ACTION_RUN, runnable);
    set(PIRQ_ACTION_AUTORUN, runnable);
    set(PIRQ_ACTION_READ_DATA, runnable);
    set(PIRQ_ACTION_STOP, running);
    set(PIRQ_ACTION_INSTANCE_STATUS_HELP, rows.size() == 1);
}

void VOKR_INSTANCE_WIDGET::enable_edit_commands(const QList<QStandardItem*>& rows)
{
    const bool locked = m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
    const QItemSelectionModel* selection = m_tree->selectionModel();
    bool both = false, normal = false, power_up = false;
    for (QStandardItem* row : rows) {
        if (row->data(POWER_UP_ROLE).toBool()) {
            power_up = true;
            continue;
        }
        if (QStandardItem* child = row->child(0)) {
            power_up = true;
            both = both || selection->isSelected(child->index());
        } else {
            normal = true;
        }
    }
    // A power-up trigger inserts or takes out an entry, which moves the entries of the instances
    // below while a capture of theirs may be under way: it waits until none is.
    const bool any = !rows.isEmpty() && !locked;
    const bool idle = !m_tx_manager->is_any_instance_acquiring();
    auto set = [this](PIRQ_ACTION_ENUM id, bool on) { m_tx_manager->get_action(id, QVariant())->setEnabled(on); };
    set(PIRQ_ACTION_ADD_INSTANCE, can_add_instance());
    set(PIRQ_ACTION_DELETE_INSTANCE, any);
    set(PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, any && normal && idle);
    set(PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER, any && power_up && idle);
    set(PIRQ_ACTION_DUPLICATE_TRIGGER, any && power_up && !both);
}

// ---- instance commands ----------------------------------------------------------------------------------------------

// A session without instances, or without a current one, takes a new instance as much as any
// other: deleting the last instance must not leave a session that can never have one again. A
// window without a session has nothing to add an instance to.
bool VOKR_INSTANCE_WIDGET::can_add_instance() const
{
    return m_tx_manager->has_open_session() && m_tx_manager->get_lock_mode(false) == VOKR_LOCK_MODE_ALL_CHANGES;
}

void VOKR_INSTANCE_WIDGET::on_instance_add()
{
    if (!m_tx_manager->has_open_session())
        return;
    m_tx_manager->add_instance();
    notify_all({VOKR_HINT_REBUILD_INSTANCES, VOKR_HINT_REFRESH_VIEW});
}

void VOKR_INSTANCE_WIDGET::on_instance_delete()
{
    if (m_tx_manager->is_any_instance_acquiring()) {
        vokr_prompt(vokr_msg_cant_delete_instance());
        return;
    }
    if (vokr_prompt(vokr_msg_no_undo_support()) != MSG_PROMPT::MSG_VALUE_YES)
        return;
    const QItemSelectionModel* selection = m_tree->selectionModel();
    for (int r = m_model.rowCount() - 1; r >= 0; --r) {
        const QStandardItem* row = m_model.item(r, NAME);
        const bool child_selected = row->child(0) && selection->isSelected(row->child(0)->index());
        if (selection->isSelected(row->index()) || child_selected)
            m_tx_manager->remove_instance(row->data(ENTRY_ROLE).toInt());
    }
    notify_all({VOKR_HINT_REBUILD_INSTANCES, VOKR_HINT_REFRESH_VIEW});
}

void VOKR_INSTANCE_WIDGET::on_instance_rename()
{
    const QList<QStandardItem*> rows = selected_row_items();
    if (rows.size() == 1)
        m_tree->edit(rows.first()->index());
}

void VOKR_INSTANCE_WIDGET::on_item_changed(QStandardItem* item)
{
    const int entry = item->data(ENTRY_ROLE).toInt();
    KSM_TX_INSTANCE* instance =
        m_tx_manager->get_session() ? m_tx_manager->get_session()->get_instance_at(entry) : nullptr;
    if (!instance)
        return;
    if (item->column() == ENABLED) {
        // A capturing instance stays enabled: Stop, and closing the window, need it so.
        if (m_tx_manager->is_instance_of_entry_acquiring(entry)) {
            vokr_prompt(vokr_msg_cant_close_lmx_file());
            ITEM_WRITE_SCOPE scope(&m_model, this);
            item->setCheckState(instance->is_enabled() ? Qt::Checked : Qt::Unchecked);
            return;
        }
        instance->set_enabled(item->checkState() == Qt::Checked);
        // Not an undo step, but a change to save: the session must know it is modified.
        m_tx_manager->update_modified_flag();
        on_selection_changed();
        on_update(nullptr, VOKR_HINT_INSTANCES);
        return;
    }
    if (item->column() != NAME || item->data(POWER_UP_ROLE).toBool())
        return;
    const QString old_name = QString::fromLocal8Bit(instance->get_name());
    if (item->text() == old_name)
        return;
    m_tx_manager->rename_instance_set(item->text().toLocal8Bit().constData(), old_name.toLocal8Bit().constData());
    ITEM_WRITE_SCOPE scope(&m_model, this);
    item->setText(QString::fromLocal8Bit(instance->get_name()));
}

void VOKR_INSTANCE_WIDGET::on_instance_enable_powerup()
{
    if (m_tx_manager->is_any_instance_acquiring())
        return;
    // Each power-up trigger inserts an entry after its instance's, moving those of the rows below:
    // the rows are visited from the last to the first in the tree, whatever order they were
    // selected in, so that every row's entry still holds when it is reached.
    bool changed = false;
    const QItemSelectionModel* selection = m_tree->selectionModel();
    for (int r = m_model.rowCount() - 1; r >= 0; --r) {
        const QStandardItem* row = m_model.item(r, NAME);
        const int entry = row->data(ENTRY_ROLE).toInt();
        if (selection->isSelected(row->index()) && !m_tx_manager->get_session()->is_power_up_trigger(entry))
            changed = m_tx_manager->enable_powerup_trigger(entry, true) || changed;
    }
    if (changed)
        notify_all({VOKR_HINT_REBUILD_INSTANCES});
}

void VOKR_INSTANCE_WIDGET::on_instance_disable_powerup()
{
    if (m_tx_manager->is_any_instance_acquiring())
        return;
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const QItemSelectionModel* selection = m_tree->selectionModel();
    bool any = false;
    for (int r = m_model.rowCount() - 1; r >= 0; --r) {
        const QStandardItem* row = m_model.item(r, NAME);
        int entry = row->data(ENTRY_ROLE).toInt();
        if (!row->child(0) || !(selection->isSelected(row->index()) || selection->isSelected(row->child(0)->index())))
            continue;
        any = true;
        if (!m_tx_manager->is_empty() && session->is_power_up_view(entry))
            --entry;
        if (!session->is_power_up_trigger(entry))
            continue;
        session->get_instance_at(entry)->begin_action();
        session->set_power_up_trigger_mode(entry, false);
        m_tx_manager->end_action(VOKR_CHECK_NOTHING, entry);
        m_tx_manager->update_modified_flag();
        m_tx_manager->set_instance(entry);
    }
    if (any)
        notify_all({VOKR_HINT_REBUILD_INSTANCES});
}

void VOKR_INSTANCE_WIDGET::on_instance_duplicate_trigger()
{
    for (QStandardItem* row : selected_row_items())
        m_tx_manager->duplicate_powerup_trigger(row->data(ENTRY_ROLE).toInt());
    if (m_model.rowCount() == 1)
        notify_all({VOKR_HINT_REFRESH_TABS, VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_DATA_LOG |
                                                VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW});
    else
        notify_all(
            {VOKR_HINT_REFRESH_TABS | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW});
}

// ---- acquisition commands ------------------------------------------------------------------------------------------

// The enabled instances of the selection, each once: a power-up row stands for its parent.
// Read order visits the rows from the last to the first.
std::vector<int> VOKR_INSTANCE_WIDGET::selected_instances(bool read_order) const
{
    std::vector<int> entries;
    const QItemSelectionModel* selection = m_tree->selectionModel();
    if (read_order) {
        for (int r = m_model.rowCount() - 1; r >= 0; --r) {
            const QStandardItem* row = m_model.item(r, NAME);
            if (selection->isSelected(row->index()) || (row->child(0) && selection->isSelected(row->child(0)->index())))
                entries.push_back(row->data(ENTRY_ROLE).toInt());
        }
        return entries;
    }
    for (QStandardItem* row : selected_row_items()) {
        QStandardItem* instance = row->data(POWER_UP_ROLE).toBool() ? row->parent() : row;
        if (instance != row && selection->isSelected(instance->index()))
            continue;
        const int entry = instance->data(ENTRY_ROLE).toInt();
        if (m_tx_manager->instance_is_enabled(entry))
            entries.push_back(entry);
    }
    return entries;
}

void VOKR_INSTANCE_WIDGET::on_tools_go() { run_selected(false); }
void VOKR_INSTANCE_WIDGET::on_tools_repeat() { run_selected(true); }

// Requests that the manager drops or refuses keep no record of acceptance (no 0x800000 state):
// their callbacks are deleted at once; the accepted ones stay in the registry until their
// acquisition ends.
void VOKR_INSTANCE_WIDGET::run_selected(bool autorun)
{
    std::vector<DAW_CONTROL::ACQ_PARAMETER> requests;
    std::vector<VOKR_CONTROL_CMD_ELA_INT*> callbacks;
    for (int entry : selected_instances(false)) {
        if (!m_tx_manager->is_empty() && m_tx_manager->is_instance_acquiring(entry))
            continue;
        callbacks.push_back(new VOKR_CONTROL_CMD_ELA_INT(this, static_cast<uint32_t>(entry)));
        DAW_CONTROL::ACQ_PARAMETER request;
        request.callback = callbacks.back();
        request.autorun = autorun;
        requests.push_back(request);
    }
    m_tx_manager->run(&requests);
    for (VOKR_CONTROL_CMD_ELA_INT* callback : callbacks) {
        const int entry = static_cast<int>(callback->get_instance_index());
        const auto request = std::find_if(requests.begin(), requests.end(),
                                          [callback](const auto& r) { return r.callback == callback; });
        const bool accepted = request != requests.end() && m_tx_manager->is_instance_acquiring(entry);
        if (accepted) {
            m_live_callbacks.insert(callback, {callback->get_serial(), request->data_log});
            show_started(entry);
        } else {
            delete callback;
        }
    }
}

// The widths given are minimums: a column is widened to its header text, and the Status column
// to the longest progress text, so that neither is cut.
void VOKR_INSTANCE_WIDGET::fit_columns()
{
    QHeaderView* header = m_tree->header();
    const int status = m_tree->fontMetrics().horizontalAdvance(VOKR_ACQUIRING_POST_TRIGGER_DATA) + 16;
    for (int c = 0; c < COLUMNS; ++c) {
        const int wanted = std::max(header->sectionSizeHint(c), c == STATUS ? status : 0);
        if (m_tree->columnWidth(c) < wanted)
            m_tree->setColumnWidth(c, wanted);
    }
}

// An accepted run waits for its trigger from the start: the row, the status line and the
// panes tell it at once, not only when the control's first report has arrived.
void VOKR_INSTANCE_WIDGET::show_started(int entry)
{
    if (QStandardItem* row = find_instance_item(entry)) {
        const CELL cell = trigger_progress_cell(false, 0, entry);
        ITEM_WRITE_SCOPE scope(&m_model, this);
        m_model.item(row->row(), STATUS)->setText(cell.text);
        m_model.item(row->row(), STATUS)->setBackground(cell.brush);
    }
    constexpr uint32_t STATE_STARTED = 0x800000;
    on_acquisition_started(STATE_STARTED, is_current_or_its_power_up(entry));
}

void VOKR_INSTANCE_WIDGET::on_tools_stop()
{
    if (!m_tx_manager->is_empty())
        for (int entry : selected_instances(false))
            if (m_tx_manager->is_instance_acquiring(entry))
                m_tx_manager->stop(entry);
    std::vector<DAW_CONTROL::ACQ_PARAMETER> none;
    m_tx_manager->run(&none);
}

void VOKR_INSTANCE_WIDGET::on_tools_data()
{
    for (int entry : selected_instances(true)) {
        KSM_TX_SIGNAL_SET* set = m_tx_manager->get_session()->get_signal_set_at(entry);
        if (m_tx_manager->is_empty() || !set || set->get_num_channels() == 0 ||
            m_tx_manager->is_instance_acquiring(entry) || !m_tx_manager->instance_is_enabled(entry))
            continue;
        // A read refused before any JTAG access, with its reason told, leaves the status line and
        // the row as they were; a device's error shows in the row as a run's does.
        bool refused = false;
        uint32_t error = 0;
        if (m_tx_manager->read_data(entry, &refused, &error) || refused)
            continue;
        set_status_line(VOKR_JTAG_COMMUNICATION_ERROR, vokr_yellow_palette());
        if (QStandardItem* row = find_instance_item(entry)) {
            bool ended = false;
            const CELL cell = state_cell(VOKR_ACQ_JTAG_ERROR, false, static_cast<int>(error), entry, &ended);
            ITEM_WRITE_SCOPE scope(&m_model, this);
            QStandardItem* status = m_model.item(row->row(), STATUS);
            status->setText(cell.text);
            status->setBackground(cell.brush);
        }
    }
}
