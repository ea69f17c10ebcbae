#include "vokr_choice_validator.h"

#include <QComboBox>
#include <QToolTip>

VOKR_CHOICE_VALIDATOR::VOKR_CHOICE_VALIDATOR(QComboBox* combo) : QValidator(combo), m_combo(combo) {}

QValidator::State VOKR_CHOICE_VALIDATOR::validate(QString& text, int&) const
{
    bool begun = false;
    for (int i = 0; i < m_combo->count(); ++i) {
        const QString item = m_combo->itemText(i);
        if (item.compare(text, Qt::CaseInsensitive) == 0)
            return Acceptable;
        begun = begun || item.startsWith(text, Qt::CaseInsensitive);
    }
    if (begun)
        return Intermediate;
    QToolTip::showText(m_combo->mapToGlobal(QPoint(0, m_combo->height())), refusal(text), m_combo);
    return Invalid;
}

QString VOKR_CHOICE_VALIDATOR::item_named(const QString& text) const
{
    for (int i = 0; i < m_combo->count(); ++i)
        if (m_combo->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return m_combo->itemText(i);
    return QString();
}

QString VOKR_CHOICE_VALIDATOR::refusal(const QString& text) const
{
    QStringList items;
    for (int i = 0; i < m_combo->count(); ++i)
        items << m_combo->itemText(i);
    return QString("\"%1\" is not an allowed setting. Allowed settings: %2").arg(text, items.join(", "));
}
