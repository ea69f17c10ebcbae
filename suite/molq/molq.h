// The suite's notification library: named notifications with process-wide numbers, delivered
// to every living notification target, which dispatches them through its class's static map.
#pragma once

class MOLQ_NOTIFY_TARGET;

// A handler of a notification, as a member of the target class (cast to the base's type).
using MOLQ_NOTIFY_HANDLER = bool (MOLQ_NOTIFY_TARGET::*)();

// One entry of a class's notification table; a table ends at the entry with message 0.
struct MOLQ_NOTIFY_ENTRY {
    unsigned int message;
    MOLQ_NOTIFY_HANDLER handler;
};

// A class's notification map: the table of its own entries and the map of its base class,
// searched when the own table has no entry for a message.
struct MOLQ_NOTIFY_MAP {
    const MOLQ_NOTIFY_MAP* base;
    const MOLQ_NOTIFY_ENTRY* entries;
};

class MOLQ_NOTIFY_TARGET {
public:
    MOLQ_NOTIFY_TARGET();
    virtual ~MOLQ_NOTIFY_TARGET();
    MOLQ_NOTIFY_TARGET(const MOLQ_NOTIFY_TARGET&) = delete;
    MOLQ_NOTIFY_TARGET& operator=(const MOLQ_NOTIFY_TARGET&) = delete;

    // Calls the handler that the class's map (or a base class's) has for the message; false
    // when none has one, else what the handler answers.
    virtual bool on_molq_notify(unsigned int message, unsigned long long data, bool);
    virtual const MOLQ_NOTIFY_MAP* get_notify_map() const { return &m_notify_map; }

    // The base map: no entries.
    static const MOLQ_NOTIFY_MAP m_notify_map;
};

// The number of a notification name, the same for the whole process; never 0.
unsigned int molq_get_message(const char* name);

// Delivers the named notification to every living target on the calling thread; returns how
// many targets handled it.
int molq_post(const char* name, unsigned long long data = 0);
