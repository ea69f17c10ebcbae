#include "vokr_jtag_widget.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_tx_manager.h"
#include "vokr_wheel_guard.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QStringList FILTERS = {"SRAM Image Files (*.sif)", "*.sif", "Programmer Image File (*.pif)", "*.pif"};
constexpr PIRQ_ACTION_ENUM ATTACH = PIRQ_ACTION_ENUM(614);
constexpr PIRQ_ACTION_ENUM REMOVE = PIRQ_ACTION_ENUM(615);
constexpr PIRQ_ACTION_ENUM EXTRACT = PIRQ_ACTION_ENUM(616);
constexpr PIRQ_ACTION_ENUM PROGRAM = PIRQ_ACTION_ENUM(617);
constexpr PIRQ_ACTION_ENUM RENAME = PIRQ_ACTION_ENUM(618);
// The pixels of a line edit's frame and text margins, which its text does not get.
constexpr int FILE_FIELD_MARGINS = 10;

}  // namespace

VOKR_JTAG_WIDGET::VOKR_JTAG_WIDGET(QWidget* parent, VOKR_FRAME_WND* frame)
    : ZLMQ_JTAG_WIDGET(parent), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    set_client_id(ZLMQ_VOKR);
    initialize();
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_JTAG_WIDGET::on_update, Qt::QueuedConnection);
    rebuild_file_row();
    build_file_list();
    VOKR_WHEEL_GUARD::guard_boxes(this);
    on_update(this, VOKR_HINT_REBUILD_JTAG);
}

// A programming run that never reported its end must not leave the reserved file named in the
// session, where a save would keep it.
VOKR_JTAG_WIDGET::~VOKR_JTAG_WIDGET()
{
    if (!m_set_aside.isNull() && m_tx_manager->get_session())
        restore_programming_file();
}

QString VOKR_JTAG_WIDGET::get_reserved_file_path() const
{
    return m_reserved_dir ? m_reserved_dir->filePath(RESERVED_FILE_NAME) : QString();
}

// Row 2 of the base's grid becomes one row: toggle, label, the row's control, attach button and
// the file-name field.
void VOKR_JTAG_WIDGET::rebuild_file_row()
{
    auto* box = qobject_cast<QVBoxLayout*>(layout());
    VOKR_ASSERT(box != NULL && box->count() >= 4);
    auto* grid = qobject_cast<QGridLayout*>(box->itemAt(2)->layout());
    VOKR_ASSERT(grid != NULL);
    QLayoutItem* label_item = grid->itemAtPosition(2, 0);
    QLayoutItem* control_item = grid->itemAtPosition(2, 1);
    QLayoutItem* browse_item = grid->itemAtPosition(2, 2);
    VOKR_ASSERT(label_item && control_item && browse_item && browse_item->layout());
    auto* label = qobject_cast<QLabel*>(label_item->widget());
    VOKR_ASSERT(label != NULL);
    m_file_control = control_item->widget();
    QLayout* browse = browse_item->layout();
    grid->removeItem(label_item);
    grid->removeItem(control_item);
    grid->removeItem(browse_item);
    delete label_item;
    delete control_item;
    m_toggle = new QPushButton(">>", this);
    m_toggle->setObjectName("programming_files_toggle");
    m_toggle->setToolTip("Toggle the SIF Manager");
    m_toggle->setFixedWidth(get_scan_button()->sizeHint().height());
    label->setText("SIF Manager:");
    m_attach = new QToolButton(this);
    m_attach->setEnabled(false);
    m_attach->setIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(100)));
    m_attach->setToolTip("Attach SIF File");
    auto* row = new QHBoxLayout;
    row->addWidget(m_toggle);
    row->addWidget(label);
    row->addWidget(m_file_control);
    row->addWidget(m_attach);
    browse->setParent(nullptr);
    row->addLayout(browse);
    grid->addLayout(row, 2, 0, 1, 4);
    // The file's field gets the row's width: its "..." button is as narrow as the toggle.
    get_browse_button()->setFixedWidth(m_toggle->width());
    get_file_edit()->setObjectName("programming_file");
    get_file_edit()->installEventFilter(this);
}

void VOKR_JTAG_WIDGET::build_file_list()
{
    m_file_list = new QTreeView(this);
    m_file_list->setObjectName("programming_files");
    m_file_list->setFrameShape(QFrame::NoFrame);
    m_file_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_file_list->setAllColumnsShowFocus(true);
    m_file_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_file_model.setHorizontalHeaderLabels({"Attached SIF Files"});
    m_file_list->setModel(&m_file_model);
    connect(&m_file_model, &QStandardItemModel::itemChanged, this, &VOKR_JTAG_WIDGET::on_sif_manager_item_renamed);
    connect(m_file_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VOKR_JTAG_WIDGET::on_sif_manager_update_actions);
    auto* box = static_cast<QVBoxLayout*>(layout());
    QLayoutItem* after = box->takeAt(3);
    VOKR_ASSERT(after != NULL);
    box->addWidget(m_file_list, 1);
    m_file_list->hide();
    box->addItem(after);
    box->setStretch(4, 1);
    const struct {
        PIRQ_ACTION_ENUM id;
        void (VOKR_JTAG_WIDGET::*slot)();
    } actions[] = {
        {REMOVE, &VOKR_JTAG_WIDGET::on_sif_manager_delete},   {PIRQ_ACTION_ENUM(0), nullptr},
        {ATTACH, &VOKR_JTAG_WIDGET::on_sif_manager_attach},   {RENAME, &VOKR_JTAG_WIDGET::on_sif_manager_rename},
        {EXTRACT, &VOKR_JTAG_WIDGET::on_sif_manager_extract}, {PROGRAM, &VOKR_JTAG_WIDGET::on_sif_manager_program}};
    for (const auto& a : actions) {
        if (!a.slot) {
            auto* separator = new QAction(m_file_list);
            separator->setSeparator(true);
            m_file_list->addAction(separator);
            continue;
        }
        QAction* action = m_tx_manager->get_action(a.id, QVariant());
        m_file_list->addAction(action);
        connect(action, &QAction::triggered, this, a.slot);
    }
    m_file_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_file_list, &QWidget::customContextMenuRequested, this, &VOKR_JTAG_WIDGET::on_sif_manager_context_menu);
    connect(m_toggle, &QPushButton::clicked, this, &VOKR_JTAG_WIDGET::on_sif_manager_toggle);
    connect(m_attach, &QToolButton::clicked, this, &VOKR_JTAG_WIDGET::on_sif_manager_embed);
}

// ---- the base's questions -----------------------------------------------------------------------------------

bool VOKR_JTAG_WIDGET::get_jtag_hardware(QString* name) { return !m_tx_manager->get_jtag_hardware(name); }
bool VOKR_JTAG_WIDGET::get_jtag_device(QString* name) { return !m_tx_manager->get_jtag_device(name); }
void VOKR_JTAG_WIDGET::set_jtag_chain(const QString& name) { m_tx_manager->set_jtag_chain(name); }
bool VOKR_JTAG_WIDGET::get_sif_file_name(QString* name) { return m_tx_manager->get_sif_file_name(name); }
void VOKR_JTAG_WIDGET::set_jtag_hardware(const QString& name)
{
    m_tx_manager->set_jtag_hardware(name, is_user_change());
}
void VOKR_JTAG_WIDGET::set_jtag_device(const QString& name) { m_tx_manager->set_jtag_device(name, is_user_change()); }
MSG_POST* VOKR_JTAG_WIDGET::get_ready_msg() { return vokr_msg_jtag_ready(); }
MSG_POST* VOKR_JTAG_WIDGET::get_running_msg() { return vokr_msg_jtag_running(); }
MSG_POST* VOKR_JTAG_WIDGET::get_looking_for_devices_msg() { return vokr_msg_jtag_looking_for_devices(); }
MSG_POST* VOKR_JTAG_WIDGET::get_programming_device_msg() { return vokr_msg_jtag_programming_device(); }
MSG_POST* VOKR_JTAG_WIDGET::get_no_device_selected_msg() { return vokr_msg_jtag_no_device_selected(); }
MSG_POST* VOKR_JTAG_WIDGET::get_no_device_detected_msg() { return vokr_msg_jtag_no_devices_detected(); }
MSG_POST* VOKR_JTAG_WIDGET::get_selected_device_not_found_msg() { return vokr_msg_jtag_selected_device_not_found(); }
MSG_POST* VOKR_JTAG_WIDGET::get_communication_error_msg() { return vokr_msg_jtag_communication_error(); }

// Every end of a programming run gives the session its own programming file back, whether or
// not the run reported success.
void VOKR_JTAG_WIDGET::on_widget_updated(int flags)
{
    if (!(flags & CHANGED))
        return;
    if (!m_set_aside.isNull() && !is_programming())
        restore_programming_file();
    const unsigned int programmed = flags & PROGRAMMING_ENDED ? VOKR_HINT_PROGRAMMED : 0u;
    emit m_tx_manager->updated(nullptr, flags & (SCANNING | PROGRAMMING)
                                            ? vokr_hint(VOKR_HINT_JTAG_BUSY | VOKR_HINT_INSTANCES)
                                            : vokr_hint(VOKR_HINT_INSTANCES | programmed));
}

void VOKR_JTAG_WIDGET::restore_programming_file()
{
    KSM_DATA_SESSION* data = m_tx_manager->get_session() ? m_tx_manager->get_session()->get_data_session() : nullptr;
    VOKR_ASSERT_TEXT(data != NULL, "ksm_data_session != NULL");
    const QString reserved = get_reserved_file_path();
    if (QString::fromLocal8Bit(data->get_sif_file_name()) == reserved) {
        data->set_sif_file_name(m_set_aside.toLocal8Bit().constData());
        QFile::remove(reserved);
        m_set_aside = QString();
    }
}

// The pane's visibility is kept in the session; a window without one has nowhere to keep it.
void VOKR_JTAG_WIDGET::on_set_visible(bool visible)
{
    if (m_tx_manager->get_session())
        m_tx_manager->get_session()->set_global_data("jtag widget visible", visible ? 1 : 0);
}

// ---- refresh -------------------------------------------------------------------------------------------------

void VOKR_JTAG_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_JTAG))
        return;
    QWidget* chain_controls[] = {get_hardware_combo(), get_device_combo(), get_setup_button(), get_scan_button()};
    if (hint & VOKR_HINT_STATUS) {
        for (QWidget* w : chain_controls)
            w->setEnabled(true);
        get_browse_button()->setEnabled(true);  // disabled with the others when a run starts
        enable_program_button();
        show_running(false);
    } else if (hint & VOKR_HINT_ACQUISITION_STARTED) {
        show_running(true);
        for (QWidget* w : chain_controls)
            w->setEnabled(false);
        m_file_control->setEnabled(false);
        get_browse_button()->setEnabled(false);
    } else if (hint & VOKR_HINT_REFRESH) {
        refresh_controls();
    } else if (hint & VOKR_HINT_REBUILD) {
        fill_file_list();
    }
}

// The session's hardware is chosen, its devices scanned again and the session's device chosen
// among them: a session opened after the pane was built shows both.
void VOKR_JTAG_WIDGET::refresh_controls()
{
    QString hardware, file;
    get_jtag_hardware(&hardware);
    get_hardware_combo()->setCurrentIndex(get_hardware_combo()->findText(hardware, Qt::MatchFixedString));
    if (!m_tx_manager->is_any_instance_acquiring())
        on_scan();
    get_sif_file_name(&file);
    m_file_path = file;
    show_file_path();
    enable_program_button();
    m_attach->setEnabled(!file.isEmpty());
}

// The path is cut on the left, in its folders first, so that the file's name stays readable in
// a narrow field; the tooltip holds the whole path.
void VOKR_JTAG_WIDGET::show_file_path()
{
    QLineEdit* edit = get_file_edit();
    const QFontMetrics metrics = edit->fontMetrics();
    const int room = std::max(edit->width() - FILE_FIELD_MARGINS, 0);
    const QString name = QFileInfo(m_file_path).fileName();
    const QString folder = m_file_path.left(m_file_path.size() - name.size());
    const int folder_room = room - metrics.horizontalAdvance(name);
    // The folders as far as they fit beside the whole name; none where not even "…/" does.
    const bool folders = folder_room >= metrics.horizontalAdvance(QString::fromUtf8("\u2026/"));
    edit->setText(folders ? metrics.elidedText(folder, Qt::ElideLeft, folder_room) + name
                          : metrics.elidedText(name, Qt::ElideLeft, room));
    edit->setCursorPosition(0);
    edit->setToolTip(m_file_path);
}

bool VOKR_JTAG_WIDGET::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == get_file_edit() && event->type() == QEvent::Resize)
        show_file_path();
    return ZLMQ_JTAG_WIDGET::eventFilter(watched, event);
}

void VOKR_JTAG_WIDGET::fill_file_list()
{
    m_file_model.clear();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    QStringList headers{"Attached SIF Files"};
    std::vector<int> entries;
    for (int e = 0; session && e < session->get_num_instances(); ++e)
        if (!session->is_power_up_view(e)) {
            entries.push_back(e);
            headers << QString::fromLocal8Bit(session->get_instance_name_at(e));
        }
    m_file_model.setHorizontalHeaderLabels(headers);
    QSignalBlocker block(&m_file_model);
    for (int i = 0; session && i < session->get_embedded_sif_file_count(); ++i) {
        QList<QStandardItem*> row{new QStandardItem(style()->standardIcon(QStyle::SP_FileIcon),
                                                    QString::fromLocal8Bit(session->get_embedded_sif_name_at(i)))};
        const char* info = session->get_embedded_sif_info_at(i);
        for (int e : entries) {
            QString text;
            if (info && *info)
                text = QString(m_tx_manager->get_sif_compatibility_state(e, info)) == "compatible" ? "compatible"
                                                                                                   : "not compatible";
            row.append(new QStandardItem(text));
            row.back()->setEditable(false);
        }
        m_file_model.appendRow(row);
    }
    block.unblock();
    m_file_list->reset();
}

// ---- the file list's commands ------------------------------------------------------------------------------------

void VOKR_JTAG_WIDGET::on_sif_manager_toggle()
{
    auto* box = static_cast<QVBoxLayout*>(layout());
    if (m_toggle->text() == "<<") {
        m_toggle->setText(">>");
        const int height = m_file_list->height();
        m_file_list->hide();
        auto* inner = qobject_cast<QSplitter*>(parentWidget());
        auto* outer = inner ? qobject_cast<QSplitter*>(inner->parentWidget()) : nullptr;
        VOKR_ASSERT(inner != NULL && outer != NULL && outer->count() >= 2);
        QList<int> sizes = outer->sizes();
        sizes[0] -= height;
        sizes[1] += height;
        outer->setSizes(sizes);
        if (VOKR_LAYOUT_WIDGET* layout_widget = m_frame->get_layout_widget())
            layout_widget->on_jtag_widget_resized();
        box->setStretch(4, 1);
        m_tx_manager->get_session()->set_global_data("sif manager visible", 0);
        return;
    }
    m_toggle->setText("<<");
    m_file_list->show();
    box->setStretch(4, 0);
    m_tx_manager->get_session()->set_global_data("sif manager visible", 1);
}

int VOKR_JTAG_WIDGET::selected_file() const
{
    const QModelIndexList rows = m_file_list->selectionModel()->selectedRows(0);
    return rows.size() == 1 ? rows.first().row() : -1;
}

void VOKR_JTAG_WIDGET::on_sif_manager_update_actions()
{
    const int n = m_file_list->selectionModel()->selectedRows(0).size();
    QString name;
    const bool chain_set = !get_jtag_device(&name) && !get_jtag_hardware(&name);
    auto set = [this](PIRQ_ACTION_ENUM id, bool on) { m_tx_manager->get_action(id, QVariant())->setEnabled(on); };
    set(REMOVE, n >= 1);
    set(ATTACH, true);
    set(RENAME, n == 1);
    set(EXTRACT, n == 1);
    set(PROGRAM, n == 1 && chain_set);
}

void VOKR_JTAG_WIDGET::on_sif_manager_context_menu(const QPoint& point)
{
    on_sif_manager_update_actions();
    QMenu::exec(m_file_list->actions(), m_file_list->viewport()->mapToGlobal(point), nullptr, m_file_list);
}

QStringList VOKR_JTAG_WIDGET::choose_files(bool save, const QString& title)
{
    PIRQ_FILE_DLG dialog(this, title);
    dialog.setNameFilters(FILTERS);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFiles);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

void VOKR_JTAG_WIDGET::on_sif_manager_attach()
{
    const QStringList files = choose_files(false, "Attach SIF File");
    for (const QString& path : files) {
        QString name;
        m_tx_manager->embed_sif_file(path, &name);
    }
    if (files.isEmpty())
        return;
    m_tx_manager->update_modified_flag();
    on_update(nullptr, VOKR_HINT_REBUILD_JTAG);
}

void VOKR_JTAG_WIDGET::on_sif_manager_embed()
{
    QString path, name;
    get_sif_file_name(&path);
    m_tx_manager->embed_sif_file(path, &name);
    m_tx_manager->update_modified_flag();
    on_update(nullptr, VOKR_HINT_REBUILD_JTAG);
}

void VOKR_JTAG_WIDGET::on_sif_manager_delete()
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (!session)
        return;
    bool removed = false;
    const QItemSelectionModel* selection = m_file_list->selectionModel();
    for (int r = m_file_model.rowCount() - 1; r >= 0; --r)
        if (selection->isSelected(m_file_model.index(r, 0)))
            removed = session->remove_embedded_sif_at(r) || removed;
    if (!removed)
        return;
    m_tx_manager->update_modified_flag();
    on_update(nullptr, VOKR_HINT_REBUILD_JTAG);
}

void VOKR_JTAG_WIDGET::on_sif_manager_rename()
{
    const int row = selected_file();
    VOKR_ASSERT(row >= 0);
    m_file_list->edit(m_file_model.index(row, 0));
}

// An empty name stores nothing, and the cell shows the stored name again.
void VOKR_JTAG_WIDGET::on_sif_manager_item_renamed(QStandardItem* item)
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (item->column() != 0 || !session)
        return;
    if (item->text().isEmpty()) {
        QSignalBlocker block(&m_file_model);
        item->setText(QString::fromLocal8Bit(session->get_embedded_sif_name_at(item->row())));
        return;
    }
    session->rename_embedded_sif_filename_at(item->row(), item->text().toLocal8Bit().constData());
    m_tx_manager->update_modified_flag();
}

void VOKR_JTAG_WIDGET::on_sif_manager_extract()
{
    const int index = selected_file();
    VOKR_ASSERT(index >= 0);
    const QStringList files = choose_files(true, "Extract SIF File");
    if (files.isEmpty())
        return;
    VOKR_ASSERT(files.size() == 1);
    if (!m_tx_manager->get_session()->extract_sif_file(index, files.first().toLocal8Bit().constData()))
        vokr_prompt(vokr_msg_error_extract_embedded_sif_file());
}

// The attached file is written into a directory of this pane's own (never a place where it
// could meet a user's file), named as the session's programming file for the base's run.
void VOKR_JTAG_WIDGET::on_sif_manager_program()
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    VOKR_ASSERT_TEXT(session != NULL && session->get_data_session() != NULL, "ksm_data_session != NULL");
    const int index = selected_file();
    VOKR_ASSERT(index >= 0);
    if (!m_reserved_dir)
        m_reserved_dir = std::make_unique<QTemporaryDir>();
    const QString path = get_reserved_file_path();
    if (!m_reserved_dir->isValid() || !session->extract_sif_file(index, path.toLocal8Bit().constData())) {
        vokr_prompt(vokr_msg_error_extract_embedded_sif_file());
        return;
    }
    KSM_DATA_SESSION* data = session->get_data_session();
    m_set_aside = QString::fromLocal8Bit(data->get_sif_file_name());
    if (m_set_aside.isNull())
        m_set_aside = QString("");
    data->set_sif_file_name(path.toLocal8Bit().constData());
    on_program();
}
