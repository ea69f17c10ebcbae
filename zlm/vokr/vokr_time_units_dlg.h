// The time units dialog: the time of one sample (or the sample clock in MHz) with its unit, and,
// in insert mode, the time at which the insert-time-bar command places a bar, with its bounds in
// the chosen unit.
#pragma once

#include "pirq.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QDoubleValidator;
class QLabel;
class QLineEdit;
class QPushButton;

class VOKR_TIME_UNITS_DLG : public PIRQ_DIALOG {
    Q_OBJECT

public:
    // Time-units mode: any period above 0.
    explicit VOKR_TIME_UNITS_DLG(QWidget* parent);
    // Insert mode: a time between minimum and maximum samples times the period.
    VOKR_TIME_UNITS_DLG(QWidget* parent, int minimum_samples, int maximum_samples, double period, bool make_master);

    // Set by the caller before on_init_dialog.
    void set_unit(const QString& unit) { m_unit = unit; }
    void set_value(double value) { m_value = value; }
    // Runs after the caller has set the unit and the value, before the dialog shows.
    void on_init_dialog();

    const QString& get_unit() const { return m_unit; }
    double get_value() const { return m_value; }
    double get_period() const { return m_period; }
    double get_minimum() const { return m_minimum; }
    double get_maximum() const { return m_maximum; }
    bool is_make_master() const;
    // Insert mode: the sample, relative to the trigger, that the time falls in or just before.
    int get_sample() const;
    QLineEdit* get_value_edit() const { return m_value_edit; }
    QComboBox* get_unit_combo() const { return m_unit_combo; }
    QLineEdit* get_sample_edit() const { return m_sample_edit; }
    QPushButton* get_ok_button() const { return m_ok; }

public slots:
    void on_update_time_units_edit(const QString& text);
    void on_sel_change_time_units_combo(const QString& unit);
    // Closes with OK when the value lies within the bounds, else says which bounds and stays.
    void accept() override;

private:
    void build();
    void show_sample();

    QString m_unit = "ns";
    double m_value = 0.0;
    double m_minimum = 0.0;
    double m_maximum;
    double m_period = 0.0;
    bool m_insert = false;
    bool m_make_master = false;
    QLabel* m_sample_label = nullptr;
    QLineEdit* m_value_edit = nullptr;
    QDoubleValidator* m_validator = nullptr;
    QComboBox* m_unit_combo = nullptr;
    QLineEdit* m_sample_edit = nullptr;
    QCheckBox* m_make_master_box = nullptr;
    QPushButton* m_ok = nullptr;
};
