#include "vokr_hierarchy_widget.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_panel_header.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

VOKR_HIERARCHY_WIDGET::VOKR_HIERARCHY_WIDGET(QWidget* parent, int instance_index, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_instance_index(instance_index), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    QHBoxLayout* header = nullptr;
    QVBoxLayout* body = vokr_build_pane_column(this, &header);
    header->addWidget(new QLabel("Hierarchy Display:", this));
    header->addStretch(1);
    QAction* pane = m_tx_manager->get_action(PIRQ_ACTION_HIERARCHY_PANE, QVariant());
    header->addWidget(vokr_new_pane_close_button(this, pane), 0, Qt::AlignRight);
    m_tree = new QTreeView(this);
    m_tree->setObjectName("hierarchy_tree");
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->header()->hide();
    m_tree->setModel(&m_model);
    body->addWidget(m_tree, 1);
    connect(m_tree, &QTreeView::collapsed, this, &VOKR_HIERARCHY_WIDGET::on_expanded_collapsed);
    connect(m_tree, &QTreeView::expanded, this, &VOKR_HIERARCHY_WIDGET::on_expanded_collapsed);
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_HIERARCHY_WIDGET::on_item_changed);
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_HIERARCHY_WIDGET::on_update, Qt::QueuedConnection);
    update_hierarchy_tree();
}

// A rebuild may bring other check states (the other mode's, or an unchecked level gaining
// nodes): the view measures its rows again when any level hides rows before or after.
void VOKR_HIERARCHY_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_HIERARCHY))
        return;
    const bool hiding = hides_any();
    update_hierarchy_tree();
    if (hiding || hides_any())
        emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
}

// Asked for every row the view measures: the answer is kept until a check state changes or the
// tree is rebuilt.
bool VOKR_HIERARCHY_WIDGET::hides_any() const
{
    if (m_hides_any < 0) {
        m_hides_any = 0;
        for (const QStandardItem* item : m_levels)
            if (item->checkState() == Qt::Unchecked)
                m_hides_any = 1;
    }
    return m_hides_any != 0;
}

KSM_TX_INSTANCE* VOKR_HIERARCHY_WIDGET::own_instance() const
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const bool exists = session && m_instance_index >= 0 && m_instance_index < session->get_num_instances();
    return exists ? session->get_instance_at(m_instance_index) : nullptr;
}

void VOKR_HIERARCHY_WIDGET::update_hierarchy_tree()
{
    VOKR_UPDATE_GUARD guard;
    m_model.clear();
    const KSM_TX_SIGNAL_NODES* nodes = own_instance() ? m_tx_manager->get_nodes(m_instance_index) : nullptr;
    for (int i = 0; nodes && i < nodes->get_num_nodes(); ++i)
        add_path(QString::fromLocal8Bit(nodes->get_node_name(i)), nullptr);
    m_levels.clear();
    if (m_model.rowCount() > 0)
        index_levels(m_model.item(0), QString());
    restore_states();
    m_hides_any = -1;
}

void VOKR_HIERARCHY_WIDGET::index_levels(QStandardItem* item, const QString& path)
{
    m_levels.insert(path, item);
    for (int r = 0; r < item->rowCount(); ++r) {
        QStandardItem* child = item->child(r);
        index_levels(child, path.isEmpty() ? child->text() : path + '|' + child->text());
    }
}

QStandardItem* VOKR_HIERARCHY_WIDGET::new_item(const QString& text) const
{
    auto* item = new QStandardItem(QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(258))), text);
    item->setCheckable(true);
    item->setEditable(false);
    return item;
}

void VOKR_HIERARCHY_WIDGET::add_path(const QString& path, QStandardItem* parent)
{
    if (path.isEmpty()) {
        m_model.clear();
        return;
    }
    if (!parent) {
        if (m_model.rowCount() == 0) {
            QString top;
            m_tx_manager->get_top_entity_name(&top);
            m_model.appendRow(new_item(top));
        }
        parent = m_model.item(0);
    }
    const int bar = path.indexOf('|');
    if (bar < 0)
        return;
    const QString head = path.left(bar);
    QStandardItem* child = nullptr;
    for (int r = 0; r < parent->rowCount() && !child; ++r)
        if (parent->child(r)->text() == head)
            child = parent->child(r);
    if (!child) {
        child = new_item(head);
        parent->appendRow(child);
    }
    add_path(path.mid(bar + 1), child);
}

bool VOKR_HIERARCHY_WIDGET::is_hidden(const QString& path, QStandardItem* parent) const
{
    if (!parent) {
        const QStandardItem* level = m_levels.value(path.left(std::max(0, path.lastIndexOf('|'))));
        return level && level->checkState() == Qt::Unchecked;
    }
    const int bar = path.indexOf('|');
    if (bar < 0)
        return parent->checkState() == Qt::Unchecked;
    const QString head = path.left(bar);
    for (int r = 0; r < parent->rowCount(); ++r)
        if (parent->child(r)->text() == head)
            return is_hidden(path.mid(bar + 1), parent->child(r));
    return false;
}

QString VOKR_HIERARCHY_WIDGET::key_of(const QStandardItem* item) const
{
    const QString prefix = m_tx_manager->is_setup_mode() ? "setup hierarchy " : "data hierarchy ";
    return prefix + (item->text().isEmpty() ? QString("root") : item->text());
}

QList<QStandardItem*> VOKR_HIERARCHY_WIDGET::all_items() const
{
    QList<QStandardItem*> items;
    for (const QModelIndex& index :
         m_model.match(m_model.index(0, 0), Qt::DisplayRole, "*", -1, Qt::MatchWildcard | Qt::MatchRecursive))
        items.append(m_model.itemFromIndex(index));
    return items;
}

// The states of the pane's own instance, which need not be the current one.
void VOKR_HIERARCHY_WIDGET::restore_states()
{
    KSM_TX_INSTANCE* instance = own_instance();
    if (!instance)
        return;
    for (QStandardItem* item : all_items()) {
        const int value = instance->get_position_data(key_of(item).toLocal8Bit().constData());
        item->setCheckState(value & 1 ? Qt::Checked : Qt::Unchecked);
        m_tree->setExpanded(item->index(), value & 2);
    }
}

void VOKR_HIERARCHY_WIDGET::save_states()
{
    KSM_TX_INSTANCE* instance = own_instance();
    if (VOKR_UPDATE_GUARD::is_updating() || !instance)
        return;
    for (QStandardItem* item : all_items()) {
        const int value = (item->checkState() == Qt::Checked ? 1 : 0) + (m_tree->isExpanded(item->index()) ? 2 : 0);
        instance->set_position_data(key_of(item).toLocal8Bit().constData(), value);
    }
}

void VOKR_HIERARCHY_WIDGET::on_expanded_collapsed(const QModelIndex&) { save_states(); }

void VOKR_HIERARCHY_WIDGET::on_item_changed(QStandardItem*)
{
    m_hides_any = -1;
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    if (VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_layout_widget())
        if (VOKR_VIEW* view = layout->get_view(); view && layout->get_hierarchy_widget() == this)
            view->deselect_hidden_rows();
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
    save_states();
}
