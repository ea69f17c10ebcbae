// The "Mnemonic Table Setup" dialog: edits every mnemonic table of the session at once on a
// pending copy. OK checks the copy against the repository's rules and only then replaces the
// session's tables with it; Cancel drops it.
#pragma once

#include "pirq.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

class QComboBox;
class QPushButton;
class KSM_DATA_SESSION;
class VOKR_FRAME_WND;
class VOKR_MNEMONIC_TABLE_VIEW;

class VOKR_MNEMONIC_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    struct ENTRY {
        QString pattern;  // one letter per bit
        QString symbol;
    };
    struct TABLE {
        QString name;
        int width = 0;
        std::vector<ENTRY> entries;  // sorted by pattern
    };
    static constexpr const char* NEW_ROW = "<<new>>";
    static constexpr const char* NO_SYMBOL = "<enter symbol>";

    VOKR_MNEMONIC_DLG(VOKR_FRAME_WND* frame, QWidget* parent);
    ~VOKR_MNEMONIC_DLG() override;

    // A typed pattern as a table of that width stores it: upper case, only the letters
    // 0 1 H F R X E, left-padded with 0; a pattern longer than the width becomes all X.
    static QString normalize_pattern(const QString& text, int width);

    bool add_table(const QString& name, int width);
    bool add_entry(TABLE* table, const QString& pattern, const QString& symbol, int width);
    bool delete_entry(TABLE* table, int index);
    bool delete_table(const QString& name);
    // Adds the table that the "Add Table" dialog describes ("states", "8") and shows it.
    void add_new_table(const QString& name, const QString& width_text);
    // Copies tables from the session file at `path` into the session and reloads the copy;
    // asks first when the copy holds edits that the reload would drop.
    void import_from(const QString& path);

    const std::vector<std::unique_ptr<TABLE>>& tables() const { return m_tables; }
    TABLE* current_table() const { return m_current_table; }
    bool is_modified() const { return m_modified; }
    VOKR_MNEMONIC_TABLE_VIEW* entries_view() const { return m_view; }
    QComboBox* table_selector() const { return m_selector; }
    // Called by the entries view after an edit of the pending copy.
    void note_edit() { m_modified = m_edited = true; }
    void enable_delete_entry(bool enable);
    void refresh_mnemonic_view(TABLE* table);

public slots:
    void on_new();
    void on_delete();
    void on_import();
    void on_add_entry();
    void on_delete_entry();
    void on_table_selection_changed(const QString& name);
    void on_view_double_click();
    void accept() override;

private:
    void on_init_dialog();
    void insert_mnemonic_tables();
    void clear_entries();
    TABLE* find_pending(const QString& name) const;
    void enable_table_buttons(bool enable);
    // The name of the first table and entry that the repository would refuse; empty when
    // every table and entry will be accepted.
    QString first_refused() const;
    void write_back();
    KSM_DATA_SESSION* data_session() const;

    VOKR_FRAME_WND* m_frame_wnd;
    std::vector<std::unique_ptr<TABLE>> m_tables;
    TABLE* m_current_table = nullptr;
    bool m_modified = false;
    bool m_edited = false;  // changed by the user since the copy was loaded
    QComboBox* m_selector = nullptr;
    VOKR_MNEMONIC_TABLE_VIEW* m_view = nullptr;
    QPushButton* m_delete_table = nullptr;
    QPushButton* m_add_entry = nullptr;
    QPushButton* m_delete_entry = nullptr;
};
