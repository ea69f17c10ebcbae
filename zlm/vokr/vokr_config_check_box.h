// A check box for one run-time configurable part of a state-based trigger.
#pragma once

#include "ksm.h"

#include <QCheckBox>

class VOKR_CONFIG_CHECK_BOX : public QCheckBox {
    Q_OBJECT
public:
    VOKR_CONFIG_CHECK_BOX(const QString& text, RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option);
signals:
    void toggled(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, bool checked);
public slots:
    void on_toggled(bool checked);

private:
    RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION m_option;
};
