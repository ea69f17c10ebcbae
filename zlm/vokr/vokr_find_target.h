// One node of the view's active list as the find engine searches it: its full name, typed
// "Bus names" for a group and "Node names" otherwise; showing it selects the node.
#pragma once

#include "yab.h"

class VOKR_VIEW;

class VOKR_FIND_TARGET : public YAB_FIND_TARGET {
public:
    static constexpr unsigned int NODE_NAMES = 1;
    static constexpr unsigned int BUS_NAMES = 2;
    VOKR_FIND_TARGET(VOKR_VIEW* view, int node, const QString& name, bool bus);
    QString get_text() const override { return m_name; }
    void show() override;
    int get_node() const { return m_node; }

private:
    VOKR_VIEW* m_view;
    int m_node;
    QString m_name;
};
