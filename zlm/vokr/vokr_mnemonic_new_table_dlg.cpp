#include "vokr_mnemonic_new_table_dlg.h"

#include "vokr_msg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

VOKR_MNEMONIC_NEW_TABLE_DLG::VOKR_MNEMONIC_NEW_TABLE_DLG(QWidget* parent)
    : PIRQ_DIALOG(parent), m_name(new QLineEdit(this)), m_width(new QLineEdit("1", this))
{
    setWindowTitle("Add Table");
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &VOKR_MNEMONIC_NEW_TABLE_DLG::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &PIRQ_DIALOG::help_button_clicked);
    auto* layout = new QFormLayout(this);
    layout->addRow("Name:", m_name);
    layout->addRow("Width:", m_width);
    layout->addRow(buttons);
}

void VOKR_MNEMONIC_NEW_TABLE_DLG::accept()
{
    if (m_name->text().isEmpty()) {
        vokr_prompt(vokr_msg_no_name());
        return;
    }
    bool ok = false;
    const int width = m_width->text().toInt(&ok);
    if (!ok || width < 1 || width > 1024) {
        vokr_prompt(vokr_msg_value_out_of_range("1", "1024"));
        return;
    }
    QDialog::accept();
}
