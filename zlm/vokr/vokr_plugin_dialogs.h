// The dialogs of the plug-in commands (choosing the design instance a plug-in decodes, editing
// the user options of its tables) and the boxes that show a plug-in's texts. With a person they
// are modal; without one (tests, scripts, offscreen) the dialogs take scripted answers and the
// boxes are recorded in the message journal as prompted notices without an identifier.
#pragma once

#include "vokr_tx_manager.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

// Shows a plug-in's text in a critical box titled "Korvane" and returns when it is closed.
void vokr_show_plugin_box(const QString& text);

class VOKR_PLUGIN_HIERARCHY_DLG : public QDialog {
    Q_OBJECT
public:
    VOKR_PLUGIN_HIERARCHY_DLG(const QStringList& candidates, QString* hierarchy, QWidget* parent = nullptr);

    // Lets the person (or the script) choose one candidate; true when one was chosen.
    static bool choose(const QStringList& candidates, QString* hierarchy);
    // The next dialog without a person chooses `path` when it is a candidate and is cancelled
    // otherwise. Without a scripted answer it takes the first candidate.
    static void push_scripted_choice(const QString& path);
    static void clear_scripted_choices();
    // The candidates the last dialog offered.
    static QStringList last_candidates();

private:
    QListWidget* m_list;
    QString* m_hierarchy;
};

class VOKR_PLUGIN_OPTION_DLG : public QDialog {
    Q_OBJECT
public:
    using TABLES = QList<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*>;
    VOKR_PLUGIN_OPTION_DLG(VOKR_TX_MANAGER* manager, const TABLES& tables, QWidget* parent = nullptr);

    // Shows the options of the tables that have a group; on OK the edited settings go to the
    // tables and to the plug-ins. True when accepted.
    static bool edit(VOKR_TX_MANAGER* manager, const TABLES& tables);
    // The next dialog without a person takes these settings, one per option of the grouped
    // tables in order (missing ones stay as they are), and is accepted. Without a scripted
    // answer it is accepted unchanged.
    static void push_scripted_settings(const QStringList& settings);
    static void push_scripted_cancel();
    static void clear_scripted_answers();
    // How many option dialogs were shown or answered since the start.
    static int shown_count();

    void accept() override;
    // The file dialog's name filters for an option: "SIF file" gives "SIF Files (*.sif)" and
    // then "All Files (*.*)"; a name with a space before " file" gives only the latter.
    static QStringList file_filters(const QString& option_name);
    QTreeWidget* option_tree() const { return m_list; }
    QLabel* name_label() const { return m_name; }
    QLineEdit* setting_edit() const { return m_setting; }
    QPushButton* browse_button() const { return m_browse; }

private:
    void show_option(int index);
    void store_setting(const QString& text);
    void browse();

    VOKR_TX_MANAGER* m_manager;
    TABLES m_tables;
    // Every option that the dialog shows, as (table, option index).
    QList<QPair<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*, int>> m_options;
    QStringList m_settings;
    int m_current = -1;
    QTreeWidget* m_list;
    QLabel* m_name;
    QLineEdit* m_setting;
    QPushButton* m_browse;
    QLabel* m_description;
};
