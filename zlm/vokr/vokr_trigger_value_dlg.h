// The value dialog: one bus value typed in a radix of the user's choice. In value entry
// ("Insert Value") OK leaves the value as `width` binary digits in the value field; in mnemonic
// entry ("Add Entry", display type 15) it also checks the entry's name. Opened by the node list
// view's Find Bus Value command it searches the captured data: "Find Next" and "Find Previous"
// move the view's master time bar without closing the dialog.
#pragma once

#include "pirq.h"

#include <QString>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class VOKR_VIEW;

class VOKR_TRIGGER_VALUE_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    // A bus value search over `width` member bits, typed in `display_type` (a bus display type).
    VOKR_TRIGGER_VALUE_DLG(VOKR_VIEW* view, int width, int display_type);
    // Value or mnemonic entry of `value` (binary digits) over `width` bits.
    VOKR_TRIGGER_VALUE_DLG(const QString& value, int width, QWidget* parent, int display_type);
    // The display type that asks for mnemonic entry.
    static constexpr int MNEMONIC_ENTRY = 15;

    int get_display_type() const { return m_display_type; }
    const QString& get_last_searched_text() const { return m_last_searched_text; }
    // The radix the last searched text was typed in; -1 before any search.
    int get_last_searched_type() const { return m_last_searched_type; }
    QLineEdit* get_value_edit() const { return m_value_edit; }
    QLineEdit* get_mnemonic_edit() const { return m_mnemonic_edit; }
    bool is_mnemonic_entry() const { return m_mnemonic_entry; }
    QComboBox* get_radix_combo() const { return m_radix_combo; }
    QPushButton* get_ok_button() const { return m_ok_button; }
    QPushButton* get_find_previous_button() const { return m_find_previous_button; }

    // The radix combo index that a display type selects, and the display type of an index.
    static int radix_index(int display_type);
    static int radix_display_type(int index);

public slots:
    void on_ok_button();
    void radix_combo_changed(int index);
    void on_find_previous_bus_value_button();

private:
    VOKR_TRIGGER_VALUE_DLG(QWidget* parent, VOKR_VIEW* view, int width, int display_type);
    bool check_mnemonic_entry();
    void build_layout();
    void install_validator(int index);
    // Makes the value field wide enough for the longest value of the width in the chosen radix
    // (as far as the screen allows) and the dialog wide enough for the field.
    void fit_value_edit();
    void search(bool forward);

    QLabel* m_value_label;
    QLineEdit* m_value_edit;
    QLabel* m_radix_label;
    QComboBox* m_radix_combo;
    QLabel* m_mnemonic_label;
    QLineEdit* m_mnemonic_edit;
    QPushButton* m_ok_button;
    QPushButton* m_find_previous_button;
    QDialogButtonBox* m_button_box;
    int m_width;
    int m_display_type;
    VOKR_VIEW* m_view;
    bool m_mnemonic_entry = false;
    QString m_last_searched_text;
    int m_last_searched_type = -1;
};
