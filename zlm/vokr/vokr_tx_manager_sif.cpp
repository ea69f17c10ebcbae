// The manager's programming files: attaching one to the session with the description of the
// analyzer instances it holds, and telling whether an attached file still matches an instance.
#include "vokr_tx_manager.h"

#include "pgmio.h"
#include "vokr_msg.h"

#include <cstring>

namespace {

constexpr const char* COMPATIBLE = "compatible";
constexpr const char* NOT_COMPATIBLE = "";

}  // namespace

uint32_t VOKR_TX_MANAGER::get_node_info_word(const KSM_DATA_INSTANCE* instance)
{
    const KSM_DATA_INSTANCE_INFO info = instance->get_node_info();
    const uint32_t version = instance->is_version_not_defined()
                                 ? static_cast<uint32_t>(KSM_DATA_INSTANCE::get_current_version())
                                 : info.version;
    // The fields are ORed in place: a second field wider than 11 bits runs into the third.
    return uint32_t(info.first) | (info.second << 8) | (uint32_t(info.third) << 19) | (version << 27);
}

QString VOKR_TX_MANAGER::get_compatibility_key(const KSM_DATA_INSTANCE* instance, const KSM_DATA_TRIGGER* trigger)
{
    return QString("%1,%2")
        .arg(get_node_info_word(instance), 8, 16, QChar('0'))
        .arg(trigger->get_crc_value(false), 8, 16, QChar('0'))
        .toUpper();
}

bool VOKR_TX_MANAGER::embed_sif_file(const QString& path, QString* name)
{
    if (!path.isEmpty()) {
        const int backslash = path.lastIndexOf('\\');
        const int slash = path.lastIndexOf('/');
        if (backslash >= 0)
            *name = path.mid(backslash + 1);
        else if (slash >= 0)
            *name = path.mid(slash + 1);
    }
    if (!path.isEmpty() && m_tx_session &&
        m_tx_session->embed_sif_file(path.toLocal8Bit().constData(), name->toLocal8Bit().constData())) {
        const int count = m_tx_session->get_embedded_sif_file_count();
        QString info;
        retrieve_sif_file_info_str(path, &info);
        m_tx_session->set_embedded_sif_inst_id_crc_at(count - 1, info.toLocal8Bit().constData());
        return true;
    }
    vokr_prompt(vokr_msg_invalid_sif_file_to_embed(path.toLocal8Bit().constData()));
    return false;
}

void VOKR_TX_MANAGER::retrieve_sif_file_info_str(const QString& path, QString* info)
{
    unsigned int count = 0;
    std::string text;
    if (pgmio_export_zlm_data(path.toLocal8Bit().constData(), &count, &text) && count != 0)
        *info = QString::fromLocal8Bit(text.c_str());
}

const char* VOKR_TX_MANAGER::get_sif_compatibility_state(int index, const char* info) const
{
    KSM_TX_INSTANCE* instance = m_tx_session ? m_tx_session->get_instance_at(index) : nullptr;
    KSM_DATA_INSTANCE* data_instance = instance ? instance->get_data_instance() : nullptr;
    KSM_TX_TRIGGER* trigger = m_tx_session ? m_tx_session->get_trigger_at(index) : nullptr;
    KSM_DATA_TRIGGER* data_trigger = trigger ? trigger->get_data_trigger() : nullptr;
    if (!data_instance || !data_trigger || !info)
        return NOT_COMPATIBLE;
    const QByteArray key = get_compatibility_key(data_instance, data_trigger).toLatin1();
    if (!std::strstr(info, key.constData()))
        return NOT_COMPATIBLE;
    bool compile_needed = false;
    bool reroute_needed = false;
    m_tx_session->check_instance_compilation_type_at(index, &compile_needed, &reroute_needed);
    return compile_needed || reroute_needed ? NOT_COMPATIBLE : COMPATIBLE;
}

bool VOKR_TX_MANAGER::get_sif_file_name(QString* name) const
{
    *name = QString();
    if (!m_tx_session || m_current_instance < 0)
        return false;
    *name = QString::fromLocal8Bit(m_tx_session->get_sif_file_name());
    return true;
}
