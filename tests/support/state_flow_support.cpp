#include "state_flow_support.h"

#include <random>

namespace state_flow {

namespace {

QStringList numbered(const char* prefix, int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names.append(prefix + QString::number(i));
    return names;
}

bool is_punctuation(QChar c) { return QStringLiteral("();:!&|").contains(c); }

// The offer that brings the text nearest to its end: close a condition or a block, take an
// action that ends with ';', or else anything that does not open something new.
QString closing_choice(const QStringList& offers)
{
    for (const char* closer : {")", "end"})
        if (offers.contains(closer))
            return closer;
    for (const QString& offer : offers)
        if (offer.endsWith(';'))
            return offer;
    static const QStringList openers = {"!", "(", "if (", "begin", "else ", "else if (", "state "};
    for (const QString& offer : offers)
        if (!openers.contains(offer))
            return offer;
    return offers.first();
}

class WALKER {
public:
    WALKER(const NAMES& names, int display_type, std::mt19937& random)
        : m_names(names), m_display_type(display_type), m_random(random), m_unused_states(names.states)
    {
    }

    WALK run(int steps)
    {
        for (int step = 0; step < steps + 200; ++step) {
            if (step >= steps && is_complete_flow(m_walk.tokens))
                break;
            QStringList offers =
                vokr_get_completion_list(m_walk.text, m_walk.text, m_names, m_display_type, VOKR_COMPLETER_TYPE_INSERT);
            if (m_unused_states.isEmpty())
                offers.removeAll("state ");
            // After a complete statement any statement may follow, which the completer leaves
            // to the user to begin.
            if (step < steps && is_complete_flow(m_walk.tokens))
                vokr_get_state_text_completions(&offers, {}, m_names, VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE,
                                                VOKR_RESOURCE_TYPE_COLLAPSED);
            if (offers.isEmpty())
                break;
            const QString choice = step < steps ? offers[pick(offers.size())] : closing_choice(offers);
            append(filled(choice));
            if (choice == "state ")
                append(m_unused_states.takeFirst());
        }
        return m_walk;
    }

private:
    int pick(int size) { return std::uniform_int_distribution<int>(0, size - 1)(m_random); }

    QString any_of(const QStringList& names) { return names[pick(names.size())]; }

    QString filled(const QString& choice)
    {
        if (choice == "condition")
            return any_of(m_names.conditions);
        if (choice == "counter")
            return any_of(m_names.counters);
        if (choice == "flag")
            return any_of(m_names.flags);
        if (choice == "value")
            return QString::number(pick(16));
        return choice;
    }

    void append(const QString& piece)
    {
        QString& text = m_walk.text;
        if (!text.isEmpty() && !text.endsWith(' ')) {
            const bool line_end = text.endsWith(';') || text.endsWith(':');
            const bool may_touch = is_punctuation(text.back()) || is_punctuation(piece.front());
            if (line_end || !may_touch || pick(2))
                text += line_end ? "\n" : " ";
        }
        text += piece;
        for (const QString& part : piece.split(' ', Qt::SkipEmptyParts)) {
            const bool split_semicolon = part.size() > 1 && part.endsWith(';');
            m_walk.tokens.append(split_semicolon ? part.chopped(1) : part);
            if (split_semicolon)
                m_walk.tokens.append(";");
        }
    }

    const NAMES& m_names;
    int m_display_type;
    std::mt19937& m_random;
    QStringList m_unused_states;
    WALK m_walk;
};

}  // namespace

NAMES::NAMES(int conditions, int counters, int flags, int states)
    : conditions(numbered("condition", conditions)), counters(numbered("c", counters)), flags(numbered("f", flags)),
      states(numbered("ST", states))
{
}

std::vector<WALK> random_walks(const NAMES& names, int display_type, unsigned seed, int count, int steps)
{
    std::mt19937 random(seed);
    std::vector<WALK> walks;
    for (int i = 0; i < count; ++i)
        walks.push_back(WALKER(names, display_type, random).run(steps));
    return walks;
}

bool is_complete_flow(const QStringList& tokens)
{
    return !tokens.isEmpty() && (tokens.last() == ";" || tokens.last() == "end") && !vokr_is_in_begin_end_block(tokens);
}

}  // namespace state_flow
