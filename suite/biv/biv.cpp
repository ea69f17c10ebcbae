#include "biv.h"

#include <fstream>
#include <sstream>

std::string BIV_STATE_TABLE::get_state_name(int state) const
{
    return state >= 1 && state <= get_number_of_states() ? m_states[state - 1].name : std::string();
}

BIV_STATE_ENUM BIV_STATE_TABLE::get_transformed_entry(int state, int bit) const
{
    if (state < 1 || state > get_number_of_states())
        return BIV_STATE_DONT_CARE;
    const std::vector<BIV_STATE_ENUM>& entries = m_states[state - 1].entries;
    return bit >= 1 && bit <= static_cast<int>(entries.size()) ? entries[bit - 1] : BIV_STATE_DONT_CARE;
}

const BIV_KEYPOINT* BIV_REGISTER_TRANSFORMATION::get_transformed(int bit) const
{
    return bit >= 1 && bit <= get_state_transformed_size() ? &m_registers[bit - 1] : nullptr;
}

void BIV_REGISTER_ITERATOR::skip()
{
    while (!done() && ((*m_set)[m_at]->get_kind() & m_filter) == 0)
        ++m_at;
}

void BIV_REGISTER_ITERATOR::first()
{
    m_at = 0;
    skip();
}

void BIV_REGISTER_ITERATOR::next()
{
    ++m_at;
    skip();
}

bool BIV_KEYPOINTS_DB::compose_on_transformed(const BIV_KEYPOINTS_DB* other, const std::string&)
{
    if (!other)
        return false;
    for (const auto& t : other->m_set) {
        bool known = false;
        for (const auto& mine : m_set)
            known = known || mine->m_table.m_fsm_name == t->m_table.m_fsm_name;
        if (!known)
            m_set.push_back(std::make_unique<BIV_REGISTER_TRANSFORMATION>(*t));
    }
    return true;
}

bool BIV_KEYPOINTS_DB::read(const std::string& path, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string what, name, entries;
        if (!(words >> what))
            continue;
        const bool named = static_cast<bool>(words >> name);
        if (what == "fsm" && named) {
            m_set.push_back(std::make_unique<BIV_REGISTER_TRANSFORMATION>());
            m_set.back()->m_table.m_fsm_name = name;
            continue;
        }
        if (m_set.empty() || !named || (what != "register" && what != "state")) {
            *error = path + ":" + std::to_string(number) + ": unexpected \"" + line + "\"";
            return false;
        }
        BIV_REGISTER_TRANSFORMATION* t = m_set.back().get();
        if (what == "register") {
            t->m_registers.emplace_back(name);
            continue;
        }
        words >> entries;
        BIV_STATE_TABLE::STATE state{name, {}};
        for (auto c = entries.rbegin(); c != entries.rend(); ++c)
            state.entries.push_back(*c == '0' ? BIV_STATE_0 : *c == '1' ? BIV_STATE_1 : BIV_STATE_DONT_CARE);
        t->m_table.m_states.push_back(state);
    }
    return true;
}

BIV_KEYPOINTS_MANAGER* BIV_KEYPOINTS_MANAGER::get_instance()
{
    static BIV_KEYPOINTS_MANAGER manager;
    return &manager;
}

BIV_KEYPOINTS_DB* BIV_KEYPOINTS_MANAGER::load_keypoints_db(const std::string& path, const std::string& name)
{
    const std::string key = name.empty() ? path : name;
    auto loaded = m_databases.find(key);
    if (loaded != m_databases.end()) {  // a second reader of the same database shares it
        ++loaded->second.users;
        return loaded->second.db.get();
    }
    auto db = std::make_unique<BIV_KEYPOINTS_DB>();
    db->m_name = key;
    std::string error;
    if (!db->read(path, &error))
        return nullptr;
    LOADED& slot = m_databases[key];
    slot.db = std::move(db);
    slot.users = 1;
    return slot.db.get();
}

bool BIV_KEYPOINTS_MANAGER::destroy_keypoints_db(const std::string& name)
{
    auto loaded = m_databases.find(name);
    if (loaded == m_databases.end())
        return false;
    if (--loaded->second.users == 0)
        m_databases.erase(loaded);
    return true;
}
