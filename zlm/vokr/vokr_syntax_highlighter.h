// Colours the state-based trigger flow text of a state text editor and underlines what the
// engineer may change by clicking: every name, operator and number while changes are allowed,
// only the parts configurable at run time while the design is locked or the power-up trigger is
// shown, and nothing when both hold.
#pragma once

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

protected:
    void highlightBlock(const QString& text) override;

private:
    void highlight_pattern(const QString& text, const QString& pattern, Qt::GlobalColor colour, bool underline);
    bool is_locked() const;
    bool is_power_up() const;

    VOKR_TX_MANAGER* m_tx_manager;
    int m_instance;
};
