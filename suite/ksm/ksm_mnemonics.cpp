// Mnemonic tables: symbols for the values of a bus.
#include "ksm_state.h"

#include <algorithm>
#include <cstring>

namespace {

bool is_binary_of_width(const char* pattern, int width)
{
    if (!pattern || static_cast<int>(std::strlen(pattern)) != width)
        return false;
    return std::all_of(pattern, pattern + width, [](char c) { return c == '0' || c == '1'; });
}

}  // namespace

KSM_DATA_MNEMONICS_TABLE::KSM_DATA_MNEMONICS_TABLE(KSM_DATA_SESSION* owner, const char* name, int width)
    : KSM_OBJECT(owner), m_state(std::make_shared<STATE>())
{
    m_state->name = name ? name : "";
    m_state->width = width;
}

KSM_DATA_MNEMONICS_TABLE::~KSM_DATA_MNEMONICS_TABLE() = default;

const char* KSM_DATA_MNEMONICS_TABLE::get_name() const { return m_state->name.c_str(); }
int KSM_DATA_MNEMONICS_TABLE::get_width() const { return m_state->width; }
int KSM_DATA_MNEMONICS_TABLE::get_num_entries() const { return static_cast<int>(m_state->entries.size()); }

bool KSM_DATA_MNEMONICS_TABLE::add_entry(const char* symbol, const char* pattern)
{
    if (!symbol || !*symbol || get_value(symbol) || !is_binary_of_width(pattern, m_state->width))
        return false;
    STATE& s = ksm_edit(this, m_state);
    for (auto& entry : s.entries) {
        if (entry.first == pattern) {
            entry.second.emplace_back(symbol);
            return true;
        }
    }
    s.entries.push_back({pattern, {symbol}});
    return true;
}

bool KSM_DATA_MNEMONICS_TABLE::remove_entry(int index)
{
    if (index < 0 || index >= get_num_entries())
        return false;
    STATE& s = ksm_edit(this, m_state);
    s.entries.erase(s.entries.begin() + index);
    return true;
}

const char* KSM_DATA_MNEMONICS_TABLE::get_entry_value_at(int index) const
{
    return index >= 0 && index < get_num_entries() ? m_state->entries[index].first.c_str() : nullptr;
}

const char* KSM_DATA_MNEMONICS_TABLE::get_entry_symbol_at(int index, int k) const
{
    if (index < 0 || index >= get_num_entries())
        return nullptr;
    const auto& symbols = m_state->entries[index].second;
    return k >= 0 && k < static_cast<int>(symbols.size()) ? symbols[k].c_str() : nullptr;
}

const char* KSM_DATA_MNEMONICS_TABLE::get_value(const char* symbol) const
{
    for (const auto& entry : m_state->entries)
        for (const std::string& s : entry.second)
            if (symbol && s == symbol)
                return entry.first.c_str();
    return nullptr;
}

const char* KSM_DATA_MNEMONICS_TABLE::get_first_symbol(const char* pattern) const
{
    for (const auto& entry : m_state->entries)
        if (pattern && entry.first == pattern && !entry.second.empty())
            return entry.second.front().c_str();
    return nullptr;
}

void KSM_DATA_MNEMONICS_TABLE::clone(const KSM_DATA_MNEMONICS_TABLE* source)
{
    if (!source || source == this)
        return;
    STATE& s = ksm_edit(this, m_state);
    const std::string name = s.name;
    s = *source->m_state;
    if (!name.empty())
        s.name = name;
}

KSM_DATA_MNEMONICS::KSM_DATA_MNEMONICS(KSM_DATA_SESSION* owner) : KSM_OBJECT(owner), m_state(std::make_shared<STATE>())
{
}

KSM_DATA_MNEMONICS::~KSM_DATA_MNEMONICS() = default;

int KSM_DATA_MNEMONICS::get_num_tables() const { return ksm_child_count(m_state->tables); }

KSM_DATA_MNEMONICS_TABLE* KSM_DATA_MNEMONICS::get_table(int index) const
{
    return ksm_child_at(m_state->tables, index);
}

KSM_DATA_MNEMONICS_TABLE* KSM_DATA_MNEMONICS::find_table(const char* name) const
{
    return ksm_find_child(m_state->tables, name);
}

KSM_DATA_MNEMONICS_TABLE* KSM_DATA_MNEMONICS::create_table(const char* name, int width)
{
    if (!name || !*name || find_table(name) || width < 0 || width > KSM_MAX_NODES)
        return nullptr;
    auto table = ksm_make<KSM_DATA_MNEMONICS_TABLE>(m_owner, name, width);
    ksm_edit(this, m_state).tables.push_back(table);
    return table.get();
}

bool KSM_DATA_MNEMONICS::delete_table(KSM_DATA_MNEMONICS_TABLE* table)
{
    const int index = ksm_child_index(m_state->tables, table);
    if (index < 0)
        return false;
    auto& edited = ksm_edit(this, m_state).tables;
    edited.erase(edited.begin() + index);
    return true;
}
