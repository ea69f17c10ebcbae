// The "Add Table" dialog of the mnemonic table setup: a name and a width of 1 to 1024 bits.
#pragma once

#include "pirq.h"

#include <QDialog>

class QLineEdit;

class VOKR_MNEMONIC_NEW_TABLE_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    explicit VOKR_MNEMONIC_NEW_TABLE_DLG(QWidget* parent);
    QLineEdit* name_edit() const { return m_name; }
    QLineEdit* width_edit() const { return m_width; }
    // Refuses an empty name and a width outside 1..1024 with a notice, staying open.
    void accept() override;

private:
    QLineEdit* m_name;
    QLineEdit* m_width;
};
