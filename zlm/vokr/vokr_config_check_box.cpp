#include "vokr_config_check_box.h"

VOKR_CONFIG_CHECK_BOX::VOKR_CONFIG_CHECK_BOX(const QString& text, RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option)
    : QCheckBox(text), m_option(option)
{
    connect(this, QOverload<bool>::of(&QCheckBox::toggled), this, &VOKR_CONFIG_CHECK_BOX::on_toggled);
}

void VOKR_CONFIG_CHECK_BOX::on_toggled(bool checked) { emit toggled(m_option, checked); }
