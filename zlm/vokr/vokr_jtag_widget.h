// The JTAG chain pane: the suite's JTAG panel answered from the session, refreshed when the
// manager reports a change, plus the "SIF Manager": the programming files attached to the
// session, with commands to attach, delete, rename, extract and program them. An attached file
// is programmed through a reserved file in a private temporary directory.
#pragma once

#include "zlmq.h"

#include <QStandardItemModel>
#include <QTemporaryDir>

#include <memory>

class QPoint;
class QPushButton;
class QStandardItem;
class QToolButton;
class QTreeView;
class VOKR_FRAME_WND;
class VOKR_TX_MANAGER;

class VOKR_JTAG_WIDGET : public ZLMQ_JTAG_WIDGET {
    Q_OBJECT
public:
    static constexpr const char* RESERVED_FILE_NAME = ".mendra_reserved_lmx_temp.sif";

    VOKR_JTAG_WIDGET(QWidget* parent, VOKR_FRAME_WND* frame);
    ~VOKR_JTAG_WIDGET() override;

    QTreeView* get_file_list() const { return m_file_list; }
    QStandardItemModel* get_file_model() { return &m_file_model; }
    QPushButton* get_toggle_button() const { return m_toggle; }
    QToolButton* get_attach_button() const { return m_attach; }
    // Where a programming run writes the attached file; empty before the first run.
    QString get_reserved_file_path() const;

    bool get_jtag_hardware(QString* name) override;
    bool get_jtag_device(QString* name) override;
    void set_jtag_chain(const QString& name) override;
    bool get_sif_file_name(QString* name) override;
    void set_jtag_hardware(const QString& name) override;
    void set_jtag_device(const QString& name) override;
    void on_widget_updated(int flags) override;
    MSG_POST* get_ready_msg() override;
    MSG_POST* get_running_msg() override;
    MSG_POST* get_looking_for_devices_msg() override;
    MSG_POST* get_programming_device_msg() override;
    MSG_POST* get_no_device_selected_msg() override;
    MSG_POST* get_no_device_detected_msg() override;
    MSG_POST* get_selected_device_not_found_msg() override;
    MSG_POST* get_communication_error_msg() override;

public slots:
    void on_sif_manager_toggle();
    void on_update(QObject* sender, int hint);
    void on_sif_manager_delete();
    void on_sif_manager_attach();
    void on_sif_manager_rename();
    void on_sif_manager_extract();
    void on_sif_manager_program();
    void on_sif_manager_embed();
    void on_sif_manager_item_renamed(QStandardItem* item);
    void on_sif_manager_context_menu(const QPoint& point);
    void on_sif_manager_update_actions();
    void on_set_visible(bool visible);

protected:
    // Shows the programming file's path again when its field changes width.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild_file_row();
    void build_file_list();
    void refresh_controls();
    void show_file_path();
    void fill_file_list();
    int selected_file() const;
    void restore_programming_file();
    QStringList choose_files(bool save, const QString& title);

    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    QPushButton* m_toggle = nullptr;
    QToolButton* m_attach = nullptr;
    QTreeView* m_file_list = nullptr;
    QStandardItemModel m_file_model;
    QWidget* m_file_control = nullptr;
    std::unique_ptr<QTemporaryDir> m_reserved_dir;
    // The session's programming file while an attached one is programmed; null when idle.
    QString m_set_aside;
    QString m_file_path;  // the session's programming file, which its field shows elided
};
