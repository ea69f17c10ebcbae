// Keeps the text of an editable list to its items: an item or the beginning of one, in any
// letter case, may be typed; a keystroke that leaves every item behind is refused and the
// allowed items are shown beside the list.
#pragma once

#include <QValidator>

class QComboBox;

class VOKR_CHOICE_VALIDATOR : public QValidator {
    Q_OBJECT
public:
    explicit VOKR_CHOICE_VALIDATOR(QComboBox* combo);

    State validate(QString& text, int& position) const override;
    // The item that the text names (letter case aside), or an empty text when it names none.
    QString item_named(const QString& text) const;
    // The refusal shown for a text: what was typed and the allowed items.
    QString refusal(const QString& text) const;

private:
    QComboBox* m_combo;
};
