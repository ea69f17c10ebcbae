// The "Parameters" tab of the object properties dialog: a grid of every parameter the selected
// boxes' type has, and an editor for the grid's selected row. Every edit the user makes goes at
// once into the dialog's working property; filling the editor never writes anything.
#pragma once

#include <QTableView>
#include <QWidget>

class KSM_DATA_MNEMONICS;
class KSM_DATA_MNEMONICS_TABLE;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTextEdit;
class VOKR_CHOICE_VALIDATOR;
class VOKR_OBJECT;
class VOKR_OBJECT_PROPERTIES_DLG;
class VOKR_PARAMETER_WIDGET;
class VOKR_PROPERTY;

class VOKR_PARAMETER_SETTING_VIEW : public QTableView {
    Q_OBJECT
public:
    explicit VOKR_PARAMETER_SETTING_VIEW(VOKR_PARAMETER_WIDGET* widget);
    QStandardItemModel* get_model() const { return m_model; }
    void set_headers();
    // Widens the columns to their headers and cells, never below their designed widths.
    void fit_columns();
    // Every column whole, and as many rows as the object type with the most parameters has.
    QSize sizeHint() const override;

protected slots:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    QStandardItemModel* m_model;
    VOKR_PARAMETER_WIDGET* m_widget;
};

class VOKR_PARAMETER_WIDGET : public QWidget {
    Q_OBJECT
public:
    // The identifier a grid row carries: integer parameter k is k, string parameter k is
    // STRING_ID + k.
    static constexpr int STRING_ID = 0x10000;
    static constexpr int ID_ROLE = 11;

    VOKR_PARAMETER_WIDGET(QWidget* parent, VOKR_OBJECT_PROPERTIES_DLG* dialog, QList<VOKR_OBJECT*>* objects,
                          VOKR_PROPERTY* working, KSM_DATA_MNEMONICS* mnemonics, int lock_mode, bool power_up_view);

    // Rebuilds the grid from the working property and selects its first row.
    void refresh();
    // Fills the editor after a selection change: no row selected or several ranges added leave
    // nothing to edit; otherwise it edits the first selected row, which the edits are written to.
    void fill_editor(const QItemSelection& added);

    VOKR_PARAMETER_SETTING_VIEW* grid() const { return m_grid; }
    QComboBox* setting_combo() const { return m_combo; }
    QCheckBox* configurable_check() const { return m_check; }
    QLabel* name_label() const { return m_name; }
    QTextEdit* description() const { return m_description; }
    QPushButton* reset_button() const { return m_reset; }
    QPushButton* reset_all_button() const { return m_reset_all; }

public slots:
    void on_setting_combo_changed(int index);
    void on_setting_combo_edit_text_changed(const QString& text);
    void on_reset_button();
    void on_reset_all_button();
    void on_parameter_configurable_check(int state);

private:
    int row_id(int row) const;
    int bank(int id) const;
    bool is_configurable_now(int id) const;
    QString configurable_text(int id) const;
    QString get_setting(int row, const VOKR_PROPERTY& source);
    void apply_setting(int row, const QString& text);
    void fill_settings(const VOKR_PROPERTY& source, bool selected_only, bool configurable_only);
    void set_row_texts(int row, const QString& setting);
    void disable_editor(const QString& label);
    void fill_choices(int id, QString* setting);
    void limit_to_choices(bool enumerated, bool number);
    void show_row_setting();
    KSM_DATA_MNEMONICS_TABLE* bus_value_table() const;
    int first_selected_row() const;
    void reset(bool all);

    QLabel* m_name;
    QComboBox* m_combo;
    QCheckBox* m_check;
    QTextEdit* m_description;
    QPushButton* m_reset;
    QPushButton* m_reset_all;
    VOKR_PARAMETER_SETTING_VIEW* m_grid;
    bool m_power_up_view;
    int m_lock_mode;
    QList<VOKR_OBJECT*>* m_objects;
    VOKR_PROPERTY* m_working;
    KSM_DATA_MNEMONICS* m_mnemonics;
    bool m_initialised = false;
    VOKR_OBJECT_PROPERTIES_DLG* m_dialog;
    VOKR_CHOICE_VALIDATOR* m_choices = nullptr;  // set on the list while a word parameter is edited
    QValidator* m_integer = nullptr;             // set on it while a number parameter is edited
    bool m_enumerated = false;
};
