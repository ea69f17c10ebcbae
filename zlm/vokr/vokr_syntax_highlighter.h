// Colours the state-based trigger flow text of a state text editor and underlines what the
// engineer may change by clicking: every name, operator and number while changes are allowed,
// only the parts configurable at run time while the design is locked or the power-up trigger is
// shown, and nothing when both hold.
#pragma once

#include <QStringList>
#include <QSyntaxHighlighter>

class QTextEdit;
class VOKR_TX_MANAGER;

class VOKR_SYNTAX_HIGHLIGHTER : public QSyntaxHighlighter {
    Q_OBJECT
public:
    VOKR_SYNTAX_HIGHLIGHTER(QTextEdit* parent, VOKR_TX_MANAGER* manager, int instance);

    // The word pattern of a list of names: each name escaped, empty names left out; empty when
    // no name is left.
    static QString names_pattern(const QStringList& names);
    // Whether the names of states, conditions, flags and counters differ from those the last
    // highlighted block used: the whole text then needs highlighting again.
    bool are_names_changed() const { return !(current_names() == m_names); }

protected:
    void highlightBlock(const QString& text) override;

private:
    void highlight_pattern(const QString& text, const QString& pattern, Qt::GlobalColor colour, bool underline);
    bool is_locked() const;
    bool is_power_up() const;
    // The names the text may use; the last three only when the trigger is state-based.
    struct NAMES {
        QStringList states, conditions, flags, counters;
        bool operator==(const NAMES& o) const
        {
            return states == o.states && conditions == o.conditions && flags == o.flags && counters == o.counters;
        }
    };
    NAMES current_names() const;

    VOKR_TX_MANAGER* m_tx_manager;
    int m_instance;
    NAMES m_names;
};
