#include "vokr_log_widget.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_msg.h"
#include "vokr_panel_header.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr PIRQ_ACTION_ENUM DELETE_ACTION = PIRQ_ACTION_ENUM(113);
constexpr PIRQ_ACTION_ENUM RENAME_ACTION = PIRQ_ACTION_ENUM(116);
constexpr PIRQ_ACTION_ENUM SELECT_ALL_ACTION = PIRQ_ACTION_ENUM(118);

QString text_of(const char* name) { return QString::fromLocal8Bit(name ? name : ""); }
QByteArray local(const QStringList& path, int i) { return path.value(i).toLocal8Bit(); }

// The tree's current row, kept across a rebuild of the rows: the row numbers leading to it,
// its names, the number of rows at its level, and whether it is selected.
struct CURRENT_ROW {
    QList<int> rows;
    QStringList path;
    int siblings = 0;
    bool selected = false;
};

CURRENT_ROW current_row(const QTreeView* tree)
{
    CURRENT_ROW current;
    const QModelIndex index = tree->currentIndex();
    for (QModelIndex i = index; i.isValid(); i = i.parent())
        current.rows.prepend(i.row());
    current.path = index.data(VOKR_LOG_WIDGET::PATH_ROLE).toStringList();
    current.siblings = index.isValid() ? tree->model()->rowCount(index.parent()) : 0;
    current.selected = index.isValid() && tree->selectionModel()->isSelected(index);
    return current;
}

// Makes the same item current again, or the one renamed in its place (its level holds as many
// rows as before): a rebuild leaves no current row, and a tree that then takes the focus makes
// its first row current unselected, where Home and F2 would do nothing.
void restore_current_row(QTreeView* tree, const CURRENT_ROW& current)
{
    QModelIndex index;
    for (int row : current.rows)
        if (!(index = tree->model()->index(row, 0, index)).isValid())
            return;
    if (!index.isValid() || (index.data(VOKR_LOG_WIDGET::PATH_ROLE).toStringList() != current.path &&
                             tree->model()->rowCount(index.parent()) != current.siblings))
        return;
    tree->selectionModel()->setCurrentIndex(
        index, current.selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
}

}  // namespace

VOKR_LOG_WIDGET::VOKR_LOG_WIDGET(QWidget* parent, int instance_index, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_instance_index(instance_index), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    build_header();
    build_tree();
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_LOG_WIDGET::on_update, Qt::QueuedConnection);
    update_log_tree();
}

void VOKR_LOG_WIDGET::build_header()
{
    QHBoxLayout* row = nullptr;
    vokr_build_pane_column(this, &row);
    const bool logging = m_tx_manager->get_session() && m_tx_manager->get_session()->is_gui_logging_enabled();
    m_logging = new QCheckBox("Data Log:", this);
    m_logging->setChecked(logging);
    QAction* logging_action = m_tx_manager->get_action(PIRQ_ACTION_LOGGING, QVariant());
    logging_action->setEnabled(logging);
    logging_action->setChecked(logging);
    connect(m_logging, &QCheckBox::clicked, logging_action, &QAction::setChecked);
    connect(logging_action, &QAction::toggled, m_logging, &QCheckBox::setChecked);
    auto* save = new QToolButton(this);
    QAction* save_action = m_tx_manager->get_action(PIRQ_ACTION_SAVE_TO_LOG, QVariant());
    save_action->setEnabled(true);
    save_action->setIcon(QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(550))));
    save->setDefaultAction(save_action);
    save->setIconSize(save->iconSize().expandedTo(QSize(18, 15)));
    row->addWidget(m_logging);
    row->addWidget(save);
    row->addStretch(1);
    row->addWidget(vokr_new_pane_close_button(this, m_tx_manager->get_action(PIRQ_ACTION_DATA_LOG_PANE, QVariant())));
}

void VOKR_LOG_WIDGET::build_tree()
{
    m_tree = new QTreeView(this);
    m_tree->setObjectName("data_log_tree");
    setFocusProxy(m_tree);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->header()->hide();
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_tree->setModel(&m_model);
    const struct {
        PIRQ_ACTION_ENUM id;
        QKeySequence keys;
        void (VOKR_LOG_WIDGET::*slot)();
    } actions[] = {{DELETE_ACTION, QKeySequence::Delete, &VOKR_LOG_WIDGET::on_data_log_delete},
                   {RENAME_ACTION, QKeySequence(Qt::Key_F2), &VOKR_LOG_WIDGET::on_data_log_rename},
                   {SELECT_ALL_ACTION, QKeySequence::SelectAll, &VOKR_LOG_WIDGET::on_data_log_select_all}};
    for (const auto& a : actions) {
        QAction* action = m_tx_manager->get_action(a.id, QVariant());
        action->setShortcut(a.keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        m_tree->addAction(action);
        connect(action, &QAction::triggered, this, a.slot);
    }
    m_tx_manager->get_action(SELECT_ALL_ACTION, QVariant())->setEnabled(true);
    m_tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    static_cast<QVBoxLayout*>(layout())->addWidget(m_tree, 1);
    connect(m_tree, &QTreeView::doubleClicked, this, &VOKR_LOG_WIDGET::on_double_clicked);
    connect(m_tree, &QTreeView::collapsed, this, &VOKR_LOG_WIDGET::on_collapsed);
    connect(m_tree, &QTreeView::expanded, this, &VOKR_LOG_WIDGET::on_expanded);
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_LOG_WIDGET::on_item_changed);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VOKR_LOG_WIDGET::on_selection_changed);
}

QStandardItem* VOKR_LOG_WIDGET::add_item(QStandardItem* parent, const QStringList& path, int icon)
{
    auto* item = new QStandardItem(QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(icon))), path.last());
    item->setData(path, PATH_ROLE);
    if (parent)
        parent->appendRow(item);
    else
        m_model.appendRow(item);
    return item;
}

void VOKR_LOG_WIDGET::update_log_tree()
{
    VOKR_UPDATE_GUARD guard;
    const CURRENT_ROW current = current_row(m_tree);
    QSignalBlocker block(&m_model);
    m_model.clear();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const int i = m_instance_index;
    if (!session || i < 0 || i >= session->get_num_instances()) {
        block.unblock();
        m_tree->reset();
        return;
    }
    const KSM_TX_SIGNAL_SET* active_set = m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_signal_nodes(-1);
    const KSM_TX_TRIGGER* active_trigger = m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_trigger_nodes(-1);
    const KSM_DATA_LOG* active_log = m_tx_manager->get_data_log();
    bool expanded = false;
    const QString instance = text_of(m_tx_manager->get_instance_name_at(i, &expanded));
    QStandardItem* top = add_item(nullptr, {instance}, 55);
    std::vector<std::pair<QStandardItem*, bool>> expand{{top, expanded}};
    for (int s = 0; s < m_tx_manager->get_num_signal_sets(i); ++s) {
        const QString set = text_of(m_tx_manager->get_signal_set_name_at(i, s, &expanded));
        const bool set_active = active_set && set == text_of(active_set->get_name());
        QStandardItem* set_item = add_item(top, {instance, set}, set_active ? 61 : 60);
        expand.emplace_back(set_item, expanded);
        for (int t = 0; t < m_tx_manager->get_num_triggers(i, s); ++t) {
            const QString trigger = text_of(m_tx_manager->get_trigger_name_at(i, s, t, &expanded));
            const bool trigger_active = active_trigger && trigger == text_of(active_trigger->get_name());
            QStandardItem* trigger_item = add_item(set_item, {instance, set, trigger}, trigger_active ? 63 : 62);
            expand.emplace_back(trigger_item, expanded);
            for (int l = 0; l < m_tx_manager->get_num_logs(i, s, t); ++l) {
                const QString log = text_of(m_tx_manager->get_log_name_at(i, s, t, l));
                const bool log_active = active_log && log == text_of(active_log->get_name());
                QStandardItem* log_item = add_item(trigger_item, {instance, set, trigger, log}, log_active ? 57 : 56);
                if (m_tx_manager->is_powerup_trigger(i, s, t, l))
                    log_item->setBackground(vokr_light_blue_brush());
            }
        }
    }
    block.unblock();
    m_tree->reset();
    for (const auto& [item, open] : expand)
        m_tree->setExpanded(item->index(), open);
    restore_current_row(m_tree, current);
}

void VOKR_LOG_WIDGET::on_update(QObject*, int hint)
{
    if (hint & VOKR_HINT_DATA_LOG)
        update_log_tree();
}

// Renames, deletes and activations go to the manager's current instance: they act only while
// that is the pane's own.
bool VOKR_LOG_WIDGET::is_own_instance_current() const
{
    return m_tx_manager->get_current_instance_index() == m_instance_index;
}

void VOKR_LOG_WIDGET::on_item_changed(QStandardItem* item)
{
    const QStringList path = item->data(PATH_ROLE).toStringList();
    const QByteArray name = item->text().toLocal8Bit();
    if (!name.isEmpty() && is_own_instance_current()) {
        switch (path.size()) {
        case 4: m_tx_manager->rename_log_set(name, local(path, 3), local(path, 2), local(path, 1)); break;
        case 3: m_tx_manager->rename_trigger_set(name, local(path, 2), local(path, 1)); break;
        case 2: m_tx_manager->rename_signal_set(name, local(path, 1)); break;
        case 1: m_tx_manager->rename_instance_set(name, local(path, 0)); break;
        default: break;
        }
    }
    // Deferred: the item that reported the change must outlive this call.
    QMetaObject::invokeMethod(this, &VOKR_LOG_WIDGET::update_log_tree, Qt::QueuedConnection);
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
}

void VOKR_LOG_WIDGET::on_double_clicked(const QModelIndex& index)
{
    if (!index.isValid() || !is_own_instance_current())
        return;
    const QStringList path = index.data(PATH_ROLE).toStringList();
    const QString text = index.data().toString();
    const KSM_TX_SIGNAL_SET* set = m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_signal_nodes(-1);
    const KSM_TX_TRIGGER* trigger = m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_trigger_nodes(-1);
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const QString log_name = log ? text_of(log->get_name()) : QString();
    if (path.size() == 1 && !set)
        return;
    if (path.size() == 2 && set && text == text_of(set->get_name()) && !trigger)
        return;
    if (path.size() == 3 && trigger && text == text_of(trigger->get_name()) && log_name.isEmpty())
        return;
    if (log && text == log_name)
        return;
    m_tx_manager->set_active(path.value(1), path.value(2), path.value(3));
    update_log_tree();
    m_tx_manager->update_all_views(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_TABS));
    m_tx_manager->update_all_views(nullptr, vokr_hint(VOKR_HINT_REFRESH_CONFIG_VIEW));
}

void VOKR_LOG_WIDGET::set_expanded(const QModelIndex& index, bool expanded)
{
    if (VOKR_UPDATE_GUARD::is_updating() || !index.isValid())
        return;
    const QStringList path = index.data(PATH_ROLE).toStringList();
    m_tx_manager->set_expanded(expanded, path.value(0), path.value(1), path.value(2));
}

void VOKR_LOG_WIDGET::on_collapsed(const QModelIndex& index) { set_expanded(index, false); }
void VOKR_LOG_WIDGET::on_expanded(const QModelIndex& index) { set_expanded(index, true); }

void VOKR_LOG_WIDGET::on_selection_changed(const QItemSelection&)
{
    const int n = m_tree->selectionModel()->selectedIndexes().size();
    const bool locked =
        m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES && !m_tx_manager->is_corvix_generated();
    m_tx_manager->get_action(RENAME_ACTION, QVariant())->setEnabled(n == 1);
    m_tx_manager->get_action(DELETE_ACTION, QVariant())->setEnabled(n >= 1 && !locked);
}

// An instance row takes the instance with every log below it: the question names it and says so.
void VOKR_LOG_WIDGET::on_data_log_delete()
{
    if (!m_tree->hasFocus() || !is_own_instance_current())
        return;
    QList<QStringList> paths;
    QString instance;
    for (const QModelIndex& index : m_tree->selectionModel()->selectedIndexes()) {
        paths.append(index.data(PATH_ROLE).toStringList());
        if (paths.last().size() == 1)
            instance = paths.last().first();
    }
    if (refuse_kept_item(paths))
        return;
    const QByteArray name = instance.toLocal8Bit();
    if (vokr_prompt(instance.isEmpty()
                        ? vokr_msg_no_undo_support()
                        : vokr_msg_delete_instance_with_logs(name.constData())) != MSG_PROMPT::MSG_VALUE_YES)
        return;
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const int before = session ? session->get_num_instances() : 0;
    for (int level = 4; level >= 1; --level)
        for (const QStringList& path : paths)
            if (path.size() == level)
                m_tx_manager->remove_log_tree_item(local(path, 1), local(path, 2), local(path, 3));
    const int after = session ? session->get_num_instances() : 0;
    emit m_tx_manager->updated(nullptr,
                               vokr_hint(after >= before ? VOKR_HINT_REBUILD | VOKR_HINT_DATA_LOG | VOKR_HINT_VIEW
                                                         : VOKR_HINT_REBUILD | VOKR_HINT_TABS | VOKR_HINT_INSTANCES));
}

// A selected signal set or trigger that the repository keeps (the active one), unless an item
// above it that takes it along is selected too, is named before anything is asked or removed.
bool VOKR_LOG_WIDGET::refuse_kept_item(const QList<QStringList>& paths) const
{
    for (const QStringList& path : paths) {
        const bool taken_along = std::any_of(paths.begin(), paths.end(), [&](const QStringList& other) {
            return other.size() < path.size() && path.mid(0, other.size()) == other;
        });
        if (path.size() < 2 || path.size() > 3 || taken_along ||
            !m_tx_manager->is_log_tree_item_kept(local(path, 1), local(path, 2)))
            continue;
        const QByteArray name = path.last().toLocal8Bit();
        vokr_prompt(vokr_msg_cant_delete_active_item(path.size() == 2 ? "signal set" : "trigger", name.constData()));
        return true;
    }
    return false;
}

void VOKR_LOG_WIDGET::on_data_log_rename()
{
    const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    if (m_tree->hasFocus() && selected.size() == 1)
        m_tree->edit(selected.first());
}

void VOKR_LOG_WIDGET::on_data_log_select_all()
{
    if (m_tree->hasFocus())
        m_tree->selectAll();
}
