// The suite's display-settings pages: option pages that list a module's display items, each
// with the palette identifier of its colour or font, for the user to change.
#pragma once

#include "pirq.h"

#include <QList>
#include <QString>

// One display item of a colour or font page.
struct SAWQ_DISPLAY_ITEM {
    QString name;
    quint32 id = 0;     // the palette identifier
    quint32 extra = 0;  // a second value, unused by the suite's own pages
};
using SAWQ_DISPLAY_ITEM_LIST = QList<SAWQ_DISPLAY_ITEM>;

// A page that lists items whose colours can be changed; the list is not owned.
class SAWQ_COLOR_INFO : public PIRQ_PAGE_INFO {
public:
    SAWQ_COLOR_INFO(quint32 id, const SAWQ_DISPLAY_ITEM_LIST* items) : PIRQ_PAGE_INFO(id), m_items(items) {}
    const SAWQ_DISPLAY_ITEM_LIST* get_items() const { return m_items; }

private:
    const SAWQ_DISPLAY_ITEM_LIST* m_items;
};

// A page that lists items whose fonts can be changed; the list is not owned.
class SAWQ_FONT_INFO : public PIRQ_PAGE_INFO {
public:
    SAWQ_FONT_INFO(quint32 id, const SAWQ_DISPLAY_ITEM_LIST* items) : PIRQ_PAGE_INFO(id), m_items(items) {}
    const SAWQ_DISPLAY_ITEM_LIST* get_items() const { return m_items; }

private:
    const SAWQ_DISPLAY_ITEM_LIST* m_items;
};
