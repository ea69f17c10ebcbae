#include "vokr_image_export_option.h"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

VOKR_IMAGE_EXPORT_OPTION::VOKR_IMAGE_EXPORT_OPTION(QWidget* parent)
    : PIRQ_DIALOG(parent),
      m_truncate(new QRadioButton("Maintain Spacing - only data in current view will be exported", this)),
      m_fit(new QRadioButton("Fit all data - sample spacing not maintained", this))
{
    setWindowTitle("Image Size Limit Reached");
    m_truncate->setObjectName("maintain_spacing");
    m_fit->setObjectName("fit_all");
    m_truncate->setChecked(true);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_truncate);
    layout->addWidget(m_fit);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    connect(m_truncate, &QRadioButton::clicked, this, &VOKR_IMAGE_EXPORT_OPTION::on_truncate_button);
    connect(m_fit, &QRadioButton::clicked, this, &VOKR_IMAGE_EXPORT_OPTION::on_fitall_button);
}

void VOKR_IMAGE_EXPORT_OPTION::on_truncate_button(bool) { m_fit_all = false; }
void VOKR_IMAGE_EXPORT_OPTION::on_fitall_button(bool) { m_fit_all = true; }
