// The node list view's receiver of suite notifications: a change of the project's assignments
// reaches the view's reaction to changed settings.
#pragma once

#include "molq.h"

class VOKR_VIEW;

class VOKR_VIEW_MOLQ_HANDLER : public MOLQ_NOTIFY_TARGET {
public:
    explicit VOKR_VIEW_MOLQ_HANDLER(VOKR_VIEW* view = nullptr) : m_view(view) {}
    ~VOKR_VIEW_MOLQ_HANDLER() override;

    const MOLQ_NOTIFY_MAP* get_notify_map() const override { return &m_notify_map; }
    // Calls the view's reaction when there is a view; always false.
    bool on_assignments_changed();

    VOKR_VIEW* get_view() const { return m_view; }
    void set_view(VOKR_VIEW* view) { m_view = view; }

    static const MOLQ_NOTIFY_MAP m_notify_map;
    // Room for 100 entries: the assignments-changed handler, then the end entry.
    static const MOLQ_NOTIFY_ENTRY m_notify_entries[100];

private:
    VOKR_VIEW* m_view;
};
