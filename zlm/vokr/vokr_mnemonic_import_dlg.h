// The "Import Table" dialog: lists the mnemonic tables of another session file and copies the
// chosen ones into the current session, asking before it overwrites a table of the same name.
// The source is opened by its full path and closed again with the dialog.
#pragma once

#include "pirq.h"

#include <QDialog>
#include <QString>

class KSM_DATA_SESSION;
class QLineEdit;
class QListWidget;

class VOKR_MNEMONIC_IMPORT_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_MNEMONIC_IMPORT_DLG(KSM_DATA_SESSION* target, const QString& file_name, QWidget* parent);
    ~VOKR_MNEMONIC_IMPORT_DLG() override;

    QLineEdit* file_edit() const { return m_file_edit; }
    QListWidget* available_list() const { return m_available; }
    QListWidget* selected_list() const { return m_selected; }
    KSM_DATA_SESSION* source_session() const { return m_source_session; }

public slots:
    void selected_file_change();
    void on_select();
    void on_select_all();
    void on_unselect();
    void on_unselect_all();
    void accept() override;

private:
    void open_source(const QString& path);
    void close_source();
    void refresh_available_tables();
    void on_browse();

    KSM_DATA_SESSION* m_target_session;
    KSM_DATA_SESSION* m_source_session = nullptr;
    bool m_owns_source = false;  // opened here, so closed here
    QString m_path;              // the full path the source was opened from
    QLineEdit* m_file_edit;
    QListWidget* m_available;
    QListWidget* m_selected;
};
