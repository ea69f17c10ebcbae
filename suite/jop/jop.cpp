#include "jop.h"

#include "dev.h"
#include "fstr.h"
#include "omu.h"
#include "pgmio.h"

#include <QFileInfo>

#include <algorithm>

namespace {

KSM_TX_INSTANCE* instance_of(const KSM_DATA_TRIGGER* trigger)
{
    const KSM_TX_SIGNAL_SET* set = trigger ? trigger->get_signal_set() : nullptr;
    return set ? set->get_instance() : nullptr;
}

// A compile places the session's analyzers on the design's debug hub one after another: the
// first field of each instance's node information is its position there, so that the device
// tells the analyzers apart. The other fields stay as the instance has them.
void place_instances(KSM_TX_SESSION* session)
{
    int position = 0;
    for (int entry = 0; entry < session->get_num_instances(); ++entry) {
        KSM_TX_INSTANCE* instance = session->get_instance_at(entry);
        if (!instance || session->is_power_up_view(entry))
            continue;
        KSM_DATA_INSTANCE_INFO info = instance->get_node_info();
        info.first = static_cast<uint8_t>(position++);
        instance->set_node_info(info);
    }
}

}  // namespace

bool jop_lmx_check_compatibility(const KSM_DATA_LOG* log, bool flag)
{
    return log && jop_lmx_check_compatibility(log->get_trigger(), flag);
}

bool jop_lmx_check_compatibility(const KSM_DATA_TRIGGER* trigger, bool)
{
    const KSM_TX_INSTANCE* instance = instance_of(trigger);
    return instance && instance->get_compiled_checksum() == trigger->get_crc_value(false) &&
           !ksm_shares_node_info(instance);
}

void jop_record_compile(KSM_TX_SESSION* session)
{
    if (session)
        place_instances(session);
    for (int entry = 0; session && entry < session->get_num_instances(); ++entry) {
        KSM_TX_INSTANCE* instance = session->get_instance_at(entry);
        const KSM_TX_TRIGGER* trigger = session->get_trigger_at(entry);
        if (instance && trigger && !session->is_power_up_view(entry))
            instance->set_compiled_checksums(trigger->get_crc_value(false), trigger->get_crc_value(false));
    }
}

// The programming file of the compiled design: an analyzer record (node information, trigger
// checksum) per instance. The session's own programming file, else "<session>.sif" beside the
// session's file, which the session then names; nothing for a session not yet saved.
bool write_programming_file(KSM_TX_SESSION* session, std::string* error)
{
    std::string path = session->get_sif_file_name();
    const QFileInfo file(QString::fromLocal8Bit(session->get_data_session()->get_name()));
    if (path.empty() && file.isAbsolute() && file.exists())
        path = (file.absolutePath() + "/" + file.completeBaseName() + ".sif").toLocal8Bit().toStdString();
    if (path.empty())
        return true;
    std::vector<PGMIO_ZLM_RECORD> records;
    for (int entry = 0; entry < session->get_num_instances(); ++entry) {
        const KSM_TX_INSTANCE* instance = session->get_instance_at(entry);
        if (!instance || session->is_power_up_view(entry))
            continue;
        const KSM_DATA_INSTANCE_INFO info = instance->get_node_info();
        const uint32_t word =
            info.first | (info.second & 0x7FF) << 8 | uint32_t(info.third) << 19 | uint32_t(info.version) << 27;
        records.push_back({word, instance->get_compiled_checksum()});
    }
    if (!pgmio_write_sif(path.c_str(), records, "compiled design", error))
        return false;
    if (path != session->get_sif_file_name())
        session->set_sif_file_name(path.c_str());
    return true;
}

bool jop_run_compile(int flow, const std::string&)
{
    if (flow != FSTR_FLOW_FULL_COMPILATION && flow != FSTR_FLOW_FAST_RECOMPILATION)
        return true;
    bool written = true;
    for (KSM_TX_SESSION* session : ksm_get_open_sessions()) {
        jop_record_compile(session);
        std::string error;
        written = write_programming_file(session, &error) && written;
    }
    return written;
}

// ---- memory-block estimate ----------------------------------------------------------------------------

namespace {

constexpr long long BLOCK_BITS[3] = {640, 9216, 147456};

struct DEVICE_FIGURES {
    bool set = false;
    int used[3] = {0, 0, 0};
    int total[3] = {0, 0, 0};
};

DEVICE_FIGURES& test_figures()
{
    static DEVICE_FIGURES figures;
    return figures;
}

bool& partial_reconfig()
{
    static bool present = false;
    return present;
}

}  // namespace

bool JOP_RAM_USAGE_GUI::init_usage()
{
    const DEVICE_FIGURES& t = test_figures();
    if (t.set) {
        std::copy(t.used, t.used + 3, m_used);
        std::copy(t.total, t.total + 3, m_total);
        return true;
    }
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    if (!omu->is_project_open())
        return false;
    OMU_ASSIGNMENT family;
    OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
    const bool locked = revision->read_lock();
    const int f = omu->get_assignment(OMU_VAR_DEVICE_FAMILY, &family)
                      ? std::max(0, plon_get_dev_family_enum_by_string(family.value.c_str()))
                      : 0;
    if (locked)
        revision->read_unlock();
    // A family's device: a few blocks of each class in use, totals that grow with the family.
    for (int c = 0; c < 3; ++c) {
        m_total[c] = (c == 2 ? 4 : 64 >> c) * (1 + f % 4);
        m_used[c] = f % 3;
    }
    return true;
}

int JOP_RAM_USAGE_GUI::get_used_blocks(int ram_class) const
{
    return ram_class >= 0 && ram_class < 3 ? m_used[ram_class] : 0;
}

int JOP_RAM_USAGE_GUI::get_total_blocks(int ram_class) const
{
    return ram_class >= 0 && ram_class < 3 ? m_total[ram_class] : 0;
}

int JOP_RAM_USAGE_GUI::num_mem_blocks_used(int depth, int width, int& ram_class) const
{
    const long long bits = static_cast<long long>(std::max(0, depth)) * std::max(0, width);
    auto blocks = [bits](int c) { return static_cast<int>((bits + BLOCK_BITS[c] - 1) / BLOCK_BITS[c]); };
    if (ram_class == JOP_RAM_AUTO) {
        for (int c : {1, 2, 0})
            if (m_total[c] == NO_COUNT || blocks(c) <= m_total[c] - m_used[c]) {
                ram_class = c;
                return blocks(c);
            }
        return -1;
    }
    if (ram_class < 0 || ram_class > 2)
        return -1;
    return m_total[ram_class] == NO_COUNT || blocks(ram_class) <= m_total[ram_class] ? blocks(ram_class) : -1;
}

void JOP_RAM_USAGE_GUI::set_device(const int used[3], const int total[3])
{
    DEVICE_FIGURES& t = test_figures();
    t.set = true;
    std::copy(used, used + 3, t.used);
    std::copy(total, total + 3, t.total);
}

void JOP_RAM_USAGE_GUI::reset_device() { test_figures() = DEVICE_FIGURES(); }

bool JOP_INSTANCE_BUILDER::design_contains_partial_reconfig() { return partial_reconfig(); }
void JOP_INSTANCE_BUILDER::set_partial_reconfig(bool present) { partial_reconfig() = present; }
