// Makes the boxes of the advanced trigger canvas searchable: one find target per searchable
// field of a box (name, bus name, alias, kind), built for a whole diagram in top-to-bottom order.
// Targets point at boxes and live only for one search.
#pragma once

#include "yab.h"

#include <QList>
#include <QString>

#include <vector>

class VOKR_OBJECT;
class VOKR_OBJECT_WIDGET;

class VOKR_OBJECT_FIND_TARGET : public YAB_FIND_TARGET {
public:
    // The look-in bit of each field.
    enum : unsigned int { NODE_NAME = 1, BUS_NAME = 2, OTHER_NAME = 4, ALIAS = 8, KIND = 16 };

    VOKR_OBJECT_FIND_TARGET(VOKR_OBJECT_WIDGET* canvas, VOKR_OBJECT* box, unsigned int type);

    QString get_text() const override { return get_string(); }
    // The field's text as the box has it now.
    QString get_string() const;
    void show() override;
    VOKR_OBJECT* get_box() const { return m_box; }

    // The long name of a drawing kind.
    static QString kind_name(int kind);
    // Appends the targets of `box` and of its sub-tree. When `box` is `current`, *start becomes
    // where a search continues: its last target, or going backwards (direction 2) the one just
    // before its first.
    static void add_find_targets(VOKR_OBJECT* box, std::vector<YAB_FIND_TARGET*>* targets, VOKR_OBJECT_WIDGET* canvas,
                                 int direction, const VOKR_OBJECT* current, int* start);

private:
    VOKR_OBJECT_WIDGET* m_canvas;
    VOKR_OBJECT* m_box;
};
