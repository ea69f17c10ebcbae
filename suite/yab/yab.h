// The suite's text find engine: searches the texts of a list of find targets for a plain text,
// a whole word or a regular expression, forwards or backwards, and shows the target it finds.
#pragma once

#include <QString>

#include <cstddef>
#include <vector>

// One searchable text. Its type bits say which "find in" choices it belongs to.
class YAB_FIND_TARGET {
public:
    virtual ~YAB_FIND_TARGET() = default;
    virtual QString get_text() const = 0;
    // Brings the found text into view.
    virtual void show() = 0;
    void set_type(unsigned int type) { m_type = type; }
    unsigned int get_type() const { return m_type; }

private:
    unsigned int m_type = 0;
};

enum YAB_FIND_OPTION : unsigned int { YAB_MATCH_CASE = 1, YAB_WHOLE_WORD = 2, YAB_REGEX = 4 };
enum YAB_FIND_DIRECTION : unsigned int { YAB_DOWN = 1, YAB_UP = 2, YAB_ALL = 3 };

class YAB_FIND_ENGINE {
public:
    explicit YAB_FIND_ENGINE(const std::vector<YAB_FIND_TARGET*>* targets) : m_targets(targets) {}

    // Searches from target *index at character *position: down (and all) for the first match
    // starting at or after it, up for the last match starting at or before it, through the
    // targets whose type meets `find_in`. A found target is shown and returned with *index and
    // *position on the match and *length its length; null at the end of the targets (or for an
    // invalid regular expression), with *index past the last target searched.
    YAB_FIND_TARGET* find(const QString& text, unsigned int find_in, unsigned int options, unsigned int direction,
                          size_t* index, size_t* position, size_t* length) const;

private:
    const std::vector<YAB_FIND_TARGET*>* m_targets;
};
