// The "Object Properties" dialog of the advanced trigger canvas. It edits every selected box at
// once through one working copy of their merged parameters: the "General" tab sets the type and
// alias, the "Parameters" tab the type's parameters. OK copies what was changed into every
// selected box; Cancel leaves them untouched.
#pragma once

#include "pirq.h"
#include "vokr_property.h"

#include <QList>
#include <QWidget>

class KSM_DATA_MNEMONICS;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QTabWidget;
class VOKR_OBJECT;
class VOKR_OBJECT_PROPERTIES_DLG;
class VOKR_PARAMETER_WIDGET;

class VOKR_GENERAL_WIDGET : public QWidget {
    Q_OBJECT
public:
    VOKR_GENERAL_WIDGET(QWidget* parent, VOKR_OBJECT_PROPERTIES_DLG* dialog, QList<VOKR_OBJECT*>* objects,
                        VOKR_PROPERTY* working, int initial_type, bool new_object, int lock_mode, bool power_up_view);

    // Copies the working property into every selected box.
    void apply();
    // What the scripting hooks use to type an alias.
    void test_set_object_alias(const QString& text) { object_alias_edit_changed(text); }

    QComboBox* type_combo() const { return m_type_combo; }
    QLineEdit* alias_edit() const { return m_alias_edit; }
    QLineEdit* name_edit() const { return m_name_edit; }

public slots:
    void object_type_combo_changed(int index);
    void object_alias_edit_changed(const QString& text);
    void object_name_edit_changed(const QString& text);

private:
    void merge_selection();

    QComboBox* m_type_combo;
    QLineEdit* m_alias_edit;
    QLineEdit* m_name_edit;
    QList<VOKR_OBJECT*>* m_objects;
    VOKR_PROPERTY* m_working;
    int m_initial_type;
    bool m_new_object;
    bool m_initialised = false;
    VOKR_OBJECT_PROPERTIES_DLG* m_dialog;
};

class VOKR_OBJECT_PROPERTIES_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_OBJECT_PROPERTIES_DLG(QWidget* parent, QList<VOKR_OBJECT*>* objects, KSM_DATA_MNEMONICS* mnemonics,
                               int initial_type, bool new_object, int lock_mode, bool power_up_view);

    void set_ok_enabled(bool enabled);
    QPushButton* ok_button() const;
    QTabWidget* tabs() const { return m_tabs; }
    VOKR_GENERAL_WIDGET* general_page() const { return m_general; }
    VOKR_PARAMETER_WIDGET* parameter_page() const { return m_parameters; }
    VOKR_PROPERTY& working() { return m_working; }

public slots:
    void accept() override;
    void on_tab_change(int index);

private:
    QDialogButtonBox* m_buttons;
    QTabWidget* m_tabs;
    VOKR_PROPERTY m_working;
    VOKR_GENERAL_WIDGET* m_general;
    VOKR_PARAMETER_WIDGET* m_parameters;
};
