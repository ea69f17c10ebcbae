#include "yab.h"

#include <QRegularExpression>

#include <cstdint>

namespace {

QRegularExpression expression(const QString& text, unsigned int options)
{
    QString pattern = options & YAB_REGEX ? text : QRegularExpression::escape(text);
    if (options & YAB_WHOLE_WORD)
        pattern = "\\b(?:" + pattern + ")\\b";
    return QRegularExpression(pattern, options & YAB_MATCH_CASE ? QRegularExpression::NoPatternOption
                                                                : QRegularExpression::CaseInsensitiveOption);
}

// The first match at or after `from`, or with `backwards` the last one at or before it.
QRegularExpressionMatch match_in(const QRegularExpression& re, const QString& text, size_t from, bool backwards)
{
    if (!backwards)
        return from <= static_cast<size_t>(text.size()) ? re.match(text, static_cast<int>(from))
                                                        : QRegularExpressionMatch();
    QRegularExpressionMatch last;
    for (auto it = re.globalMatch(text); it.hasNext();) {
        QRegularExpressionMatch m = it.next();
        if (static_cast<size_t>(m.capturedStart()) > from)
            break;
        last = m;
    }
    return last;
}

}  // namespace

YAB_FIND_TARGET* YAB_FIND_ENGINE::find(const QString& text, unsigned int find_in, unsigned int options,
                                       unsigned int direction, size_t* index, size_t* position, size_t* length) const
{
    const QRegularExpression re = expression(text, options);
    const size_t count = m_targets->size();
    if (text.isEmpty() || !re.isValid())
        return nullptr;
    const bool up = direction == YAB_UP;
    for (size_t i = *index; i < count; up ? --i : ++i) {
        YAB_FIND_TARGET* target = (*m_targets)[i];
        const QString target_text = target->get_text();
        const size_t from = i == *index ? *position : (up ? SIZE_MAX : 0);
        const QRegularExpressionMatch m =
            target->get_type() & find_in ? match_in(re, target_text, from, up) : QRegularExpressionMatch();
        if (m.hasMatch() && m.capturedLength() > 0) {
            *index = i;
            *position = static_cast<size_t>(m.capturedStart());
            *length = static_cast<size_t>(m.capturedLength());
            target->show();
            return target;
        }
    }
    *index = count;
    return nullptr;
}
