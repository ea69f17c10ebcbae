// VOKR_INSTANCE_WIDGET: the resource columns. Each instance's logic and memory estimate, and
// the memory blocks it takes of each size class, counted in row order against what the device
// offers; instances of the Auto RAM type are placed last, whole or in halving chunks.
#include "vokr_instance_widget.h"

#include "dev.h"
#include "jop.h"
#include "ksm.h"
#include "omu.h"
#include "vokr_assert.h"
#include "vokr_tx_manager.h"

#include <QTreeView>

#include <algorithm>
#include <array>

namespace {

// The families whose memory is counted by RAM type; any other counts everything as medium.
bool is_block_class_family(int family)
{
    static const int FAMILIES[] = {6, 11, 31, 33, 45, 49, 50, 54, 55, 60};
    return std::find(std::begin(FAMILIES), std::end(FAMILIES), family) != std::end(FAMILIES);
}

// The project's device family, or -1 when it cannot be read.
int read_family(bool* project_open)
{
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    VOKR_ASSERT(omu != NULL);
    *project_open = omu->is_project_open();
    if (!*project_open)
        return -1;
    OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
    const bool taken = !revision->is_read_locked() && !revision->is_write_locked() && revision->read_lock();
    int family = -1;
    OMU_ASSIGNMENT assignment;
    if ((revision->is_read_locked() || revision->is_write_locked()) &&
        omu->get_assignment(OMU_VAR_DEVICE_FAMILY, &assignment))
        family = plon_get_dev_family_enum_by_string(assignment.value.c_str());
    if (taken)
        revision->read_unlock();
    return family;
}

struct ROW_USAGE {
    QString le, bits;
    std::array<QString, 3> blocks;
};

const char* const CLASS_NAMES[] = {"Small", "Medium", "Large"};

}  // namespace

void VOKR_INSTANCE_WIDGET::update_resource_usage()
{
    bool project_open = false;
    const int family = read_family(&project_open);
    const bool classified = family < 0 || is_block_class_family(family);
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    JOP_RAM_USAGE_GUI estimate;
    const bool ready = estimate.init_usage();
    std::array<int, 3> used{}, total{};
    std::array<bool, 3> unfit{};  // a fixed-type row did not fit: the class total is unknown
    for (int c = 0; c < 3; ++c) {
        used[c] = estimate.get_used_blocks(c);
        total[c] = estimate.get_total_blocks(c);
    }
    std::vector<ROW_USAGE> rows(m_model.rowCount());
    std::vector<int> auto_rows;
    unsigned long total_le = 0, total_bits = 0;
    // The width and depth of an entry's memory.
    auto shape = [this, session](int entry, int* depth, int* width) {
        *width = 0;
        *depth = 1;
        const KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(entry);
        if (m_tx_manager->is_empty() || !set)
            return;
        *width = set->get_num_channels();
        if (*width > 0)
            *depth = static_cast<int>(m_tx_manager->get_ram_bits_usage(entry) / static_cast<unsigned long>(*width));
    };
    for (int r = 0; r < m_model.rowCount(); ++r) {
        const int entry = m_model.item(r, NAME)->data(ENTRY_ROLE).toInt();
        const unsigned long le = m_tx_manager->get_le_usage(entry, std::max(0, family));
        const unsigned long bits =
            m_tx_manager->instance_is_enabled(entry) ? session->get_instance_ram_bits_usage_at(entry) : 0;
        total_le += le;
        total_bits += bits;
        rows[r].le = QString("%1 cells").arg(le);
        rows[r].bits = QString("%1 bits").arg(bits);
        int depth = 0, width = 0;
        shape(entry, &depth, &width);
        std::array<int, 3> counts{};
        const KSM_TALVERN_RAM_TYPE type = session->get_instance_ram_type_at(entry);
        const int fixed_class = !classified              ? 1
                                : type == KSM_RAM_SMALL  ? 0
                                : type == KSM_RAM_MEDIUM ? 1
                                : type == KSM_RAM_LARGE  ? 2
                                                         : -1;
        if (fixed_class < 0) {
            auto_rows.push_back(r);
            continue;
        }
        int ram_class = fixed_class;
        counts[fixed_class] = estimate.num_mem_blocks_used(depth, width, ram_class);
        if (counts[fixed_class] < 0) {
            // Not added: a -1 would lower the counts of every later row and of the header.
            unfit[fixed_class] = true;
            rows[r].blocks = {"NA", "NA", "NA"};
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            used[c] += counts[c];
            const bool fits = counts[c] == 0 || total[c] >= used[c];
            rows[r].blocks[c] = QString(fits ? "%1 blocks" : "Can't fit %1 blocks").arg(counts[c]);
        }
    }
    for (int r : auto_rows) {
        const int entry = m_model.item(r, NAME)->data(ENTRY_ROLE).toInt();
        int depth = 0, width = 0;
        shape(entry, &depth, &width);
        std::array<int, 3> sums{};
        bool placed = false;
        for (int remaining = depth;;) {
            int ram_class = JOP_RAM_AUTO;
            int chunk = remaining;
            int count = estimate.num_mem_blocks_used(chunk, width, ram_class);
            while (count == -1 && chunk >= 1) {
                chunk /= 2;
                ram_class = JOP_RAM_AUTO;
                count = estimate.num_mem_blocks_used(chunk, width, ram_class);
            }
            // An accepted empty chunk would place nothing and never end.
            if (count == -1 || (chunk < 1 && remaining >= 1))
                break;
            if (ram_class >= 0 && ram_class < 3)
                sums[ram_class] += count;
            const bool whole = chunk == remaining;
            remaining -= chunk;
            if (whole) {
                placed = true;
                break;
            }
        }
        if (!placed) {
            const QString text = !project_open || !ready ? "NA" : "Can't fit";
            rows[r].blocks = {text, text, text};
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            used[c] += sums[c];
            rows[r].blocks[c] = QString("%1 blocks").arg(sums[c]);
        }
    }
    QStringList headers = {"Instance", "Status", "Enabled", QString("LEs: %1").arg(total_le),
                           QString("Memory: %1").arg(total_bits)};
    const bool counted =
        std::none_of(total.begin(), total.end(), [](int t) { return t == JOP_RAM_USAGE_GUI::NO_COUNT; });
    for (int c = 0; c < 3; ++c) {
        if (!project_open || unfit[c])
            headers << QString("%1: NA").arg(CLASS_NAMES[c]);
        else if (!counted)
            headers << QString("%1: %2").arg(CLASS_NAMES[c]).arg(used[c]);
        else
            headers << QString("%1: %2/%3").arg(CLASS_NAMES[c]).arg(used[c]).arg(total[c]);
    }
    // Header and cell texts go in under the saved selection, which is selected again after them.
    QItemSelectionModel* selection = m_tree->selectionModel();
    const QItemSelection selected = selection->selection();
    const QModelIndex current = selection->currentIndex();
    QObject::disconnect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
    for (int c = 0; c < COLUMNS; ++c)
        m_model.horizontalHeaderItem(c)->setText(headers[c]);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        const bool enabled = m_tx_manager->instance_is_enabled(m_model.item(r, NAME)->data(ENTRY_ROLE).toInt());
        const QStringList cells =
            enabled ? QStringList{rows[r].le, rows[r].bits, rows[r].blocks[0], rows[r].blocks[1], rows[r].blocks[2]}
                    : QStringList{"0 cells", "0 bits", "0 blocks", "0 blocks", "0 blocks"};
        for (int c = LE; c < COLUMNS; ++c)
            m_model.item(r, c)->setText(cells[c - LE]);
    }
    selection->select(selected, QItemSelectionModel::Select);
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
}
