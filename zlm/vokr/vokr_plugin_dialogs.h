// The dialogs of the plug-in commands (choosing the design instance a plug-in decodes, editing
// the user options of its tables) and the boxes that show a plug-in's texts. With a person they
// are modal; without one (tests, scripts, offscreen) the dialogs take scripted answers and the
// boxes are recorded in the message journal as prompted notices without an identifier.
#pragma once

#include "pirq.h"
#include "vokr_tx_manager.h"

#include <QList>
#include <QMap>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Shows a plug-in's text in a critical box titled "Korvane" and returns when it is closed.
void vokr_show_plugin_box(const QString& text);

class VOKR_PLUGIN_HIERARCHY_DLG : public PIRQ_DIALOG {
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

// The options of several tables by name: options of one name share one setting, listed once in
// name order; the description and type shown are those of the last option of the name.
class VOKR_PLUGIN_OPTION_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    using TABLES = QList<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*>;
    VOKR_PLUGIN_OPTION_DLG(VOKR_TX_MANAGER* manager, const TABLES& tables, QWidget* parent = nullptr);

    // Shows the options of the tables that have a group; on OK the edited settings go to the
    // tables and to the plug-ins. True when accepted.
    static bool edit(VOKR_TX_MANAGER* manager, const TABLES& tables);
    // The next dialog without a person takes these settings, one per option of the grouped
    // tables in order (missing ones stay as they are; of options sharing a name the last one's
    // setting holds), and is accepted. Without a scripted answer it is accepted unchanged.
    static void push_scripted_settings(const QStringList& settings);
    static void push_scripted_cancel();
    static void clear_scripted_answers();
    // How many option dialogs were shown or answered since the start.
    static int shown_count();

    void accept() override;
    // The file dialog's name filters for an option: "SIF file" gives "SIF Files (*.sif)" and
    // then "All Files (*.*)"; a name with a space before " file" gives only the latter.
    static QStringList file_filters(const QString& option_name);
    QString get_option_description(const QString& name) const;
    QString get_option_type(const QString& name) const;
    QString get_option_value(const QString& name) const { return m_settings.value(name); }
    void set_option_text(const QString& name, const QString& text);
    QTreeWidget* option_tree() const { return m_list; }
    QLabel* name_label() const { return m_name; }
    QLineEdit* setting_edit() const { return m_setting; }
    QPushButton* browse_button() const { return m_browse; }

private:
    const VOKR_TX_MANAGER::VOKR_PLUGIN_OPTION& option(int index) const;
    QTreeWidgetItem* row_of(const QString& name) const;
    void on_selection_changed();
    void browse();

    VOKR_TX_MANAGER* m_manager;
    TABLES m_tables;
    // Every option of the grouped tables, as (table, option index), in list order.
    QList<QPair<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*, int>> m_options;
    QMap<QString, QString> m_settings;  // by option name
    QTreeWidget* m_list;
    QLabel* m_name;
    QLineEdit* m_setting;
    QPushButton* m_browse;
    QLabel* m_description;
};
