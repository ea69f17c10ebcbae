// The "Export" dialog: writes the current data log as comma-separated values, a table file or a
// value change dump, or the node list view as a bitmap or JPEG image. Everything happens in accept.
#pragma once

#include "pirq.h"

class KSM_DATA_LOG;
class QComboBox;
class QLineEdit;
class VOKR_FRAME_WND;
class VOKR_TX_MANAGER;

class VOKR_EXPORT_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_EXPORT_DLG(KSM_DATA_LOG* data_log, VOKR_FRAME_WND* frame_wnd, QWidget* parent, VOKR_TX_MANAGER* manager);

    PIRQ_LINE_EDIT_BROWSE_BUTTON* file_field() const { return m_file; }
    QComboBox* format_combo() const { return m_format; }
    QLineEdit* clock_field() const { return m_clock; }
    QLineEdit* period_field() const { return m_period_edit; }
    QComboBox* unit_combo() const { return m_unit; }

    // The path the file field names for the format: as typed where it ends with the format's
    // extension, else with the extension appended.
    static QString apply_extension(const QString& text, const QString& extension);
    // The clock period in ps for a period in the unit of combo index `unit`, truncated.
    static int64_t clock_interval(double period, int unit);

public slots:
    void export_format_combo_changed(int index);
    void accept() override;

private:
    void compose_default_file_name();
    QString target_refusal(const QString& path) const;
    bool may_replace(const QString& path) const;
    bool export_file(const QString& path, int format_index, double period, QString* failure);

    VOKR_TX_MANAGER* m_tx_manager;
    KSM_DATA_LOG* m_data_log;
    VOKR_FRAME_WND* m_frame_wnd;
    double m_clock_period = 0;
    PIRQ_LINE_EDIT_BROWSE_BUTTON* m_file;
    QComboBox* m_format;
    QLineEdit* m_clock;
    QLineEdit* m_period_edit;
    QComboBox* m_unit;
};
