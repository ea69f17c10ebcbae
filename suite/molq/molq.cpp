#include "molq.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct REGISTRY {
    std::mutex lock;
    std::map<std::string, unsigned int> numbers;
    std::vector<MOLQ_NOTIFY_TARGET*> targets;
};

REGISTRY& registry()
{
    static REGISTRY r;
    return r;
}

const MOLQ_NOTIFY_ENTRY NO_ENTRIES[] = {{0, nullptr}};

}  // namespace

const MOLQ_NOTIFY_MAP MOLQ_NOTIFY_TARGET::m_notify_map = {nullptr, NO_ENTRIES};

MOLQ_NOTIFY_TARGET::MOLQ_NOTIFY_TARGET()
{
    std::lock_guard<std::mutex> hold(registry().lock);
    registry().targets.push_back(this);
}

MOLQ_NOTIFY_TARGET::~MOLQ_NOTIFY_TARGET()
{
    REGISTRY& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    r.targets.erase(std::remove(r.targets.begin(), r.targets.end(), this), r.targets.end());
}

bool MOLQ_NOTIFY_TARGET::on_molq_notify(unsigned int message, unsigned long long, bool)
{
    if (message == 0)
        return false;
    for (const MOLQ_NOTIFY_MAP* map = get_notify_map(); map; map = map->base)
        for (const MOLQ_NOTIFY_ENTRY* e = map->entries; e && e->message != 0; ++e)
            if (e->message == message && e->handler)
                return (this->*(e->handler))();
    return false;
}

unsigned int molq_get_message(const char* name)
{
    REGISTRY& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    const auto found = r.numbers.emplace(name ? name : "", static_cast<unsigned int>(r.numbers.size()) + 1);
    return found.first->second;
}

int molq_post(const char* name, unsigned long long data)
{
    const unsigned int message = molq_get_message(name);
    std::vector<MOLQ_NOTIFY_TARGET*> targets;
    {
        std::lock_guard<std::mutex> hold(registry().lock);
        targets = registry().targets;
    }
    int handled = 0;
    for (MOLQ_NOTIFY_TARGET* t : targets)
        handled += t->on_molq_notify(message, data, false) ? 1 : 0;
    return handled;
}
