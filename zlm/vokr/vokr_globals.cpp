// The module's process-wide objects, built when the library is loaded in the order in which they
// are defined here and destroyed in reverse order when it is unloaded (see vokr_globals.h).
#include "vokr_globals.h"

#include "gen.h"
#include "mem.h"
#include "vokr_msg.h"
#include "vokr_plugin_library.h"
#include "vokr_status_texts.h"
#include "vokr_tcl.h"
#include "vokr_view_molq_handler.h"
#include "yuvr.h"

#include <algorithm>
#include <cstring>

// ---- made on first use ----------------------------------------------------------------------------------

const QStringList& vokr_lock_mode_labels()
{
    static const QStringList labels = {"Allow all changes", "Allow incremental route changes only",
                                       "Allow trigger condition changes only"};
    return labels;
}

const VOKR_LOCK_MODE_MAP& vokr_lock_mode_map()
{
    static const VOKR_LOCK_MODE_MAP map = [] {
        VOKR_LOCK_MODE_MAP m;
        for (int i = 0; i < vokr_lock_mode_labels().size(); ++i)
            m.insert(vokr_lock_mode_labels().at(i), i);
        return m;
    }();
    return map;
}

const QBrush& vokr_light_blue_brush()
{
    static const QBrush brush(QColor(153, 204, 255, 255), Qt::SolidPattern);
    return brush;
}

const QPen& vokr_purple_pen()
{
    static const QPen pen(QColor(128, 0, 128, 255));
    return pen;
}

const QPen& vokr_dotted_pen()
{
    static const QPen pen = [] {
        QPen p(QPalette().brush(QPalette::Dark), 1.0, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        p.setDashPattern({1.0, 1.0});
        return p;
    }();
    return pen;
}

namespace {

QPalette palette_of(QPalette::ColorRole role, const QBrush& brush)
{
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, role, brush);
    return palette;
}

}  // namespace

const QPalette& vokr_transparent_palette()
{
    static const QPalette palette = palette_of(QPalette::Base, QBrush(Qt::NoBrush));
    return palette;
}

const QPalette& vokr_yellow_palette()
{
    static const QPalette palette = palette_of(QPalette::Base, QBrush(Qt::yellow));
    return palette;
}

const QPalette& vokr_green_palette()
{
    static const QPalette palette = palette_of(QPalette::Base, QBrush(Qt::green));
    return palette;
}

const QPalette& vokr_red_palette()
{
    static const QPalette palette = palette_of(QPalette::Base, QBrush(Qt::red));
    return palette;
}

const QPalette& vokr_red_text_palette()
{
    static const QPalette palette = palette_of(QPalette::Text, QBrush(Qt::red));
    return palette;
}

// Label 1 to 3: the memory blocks of the medium, small (logic-cell memory) and large size class
// of the supported families.
const QStringList& vokr_ram_type_labels()
{
    static const QStringList labels = {"Auto", "TB9/TB10/TB20", "TLM/TB1", "TB144/TB256"};
    return labels;
}

const QStringList& vokr_tap_state_labels()
{
    static const QStringList labels = {"Already tapped", "Mnemonics unchanged", "Not tapped",
                                       "Untappable due to register push-back"};
    return labels;
}

const QStringList& vokr_finder_result_labels()
{
    static const QStringList labels = {"No post-fitting state machines found", "No post-fitting state machines tapped",
                                       "No pre-synthesis state machines found",
                                       "No pre-synthesis state machines tapped"};
    return labels;
}

// Every posted message of the catalogue (I, W and E) by number, except three older numbers that
// stand beside the messages they go with: 14992 after 268034, 14761 and 14762 after 268088.
const VOKR_MSG_ID_TABLE& vokr_msg_id_table()
{
    static const VOKR_MSG_ID_TABLE table = [] {
        struct ROW {
            unsigned int number;
            MSG_POST_TYPE type;
        };
        std::vector<ROW> rows;
        size_t count = 0;
        const VOKR_MSG_INFO* catalogue = vokr_msg_catalogue(&count);
        for (size_t i = 0; i < count; ++i) {
            const char* type = catalogue[i].type;
            if (std::strcmp(type, "I") == 0)
                rows.push_back({catalogue[i].number, MSG_POST_TYPE_INFO});
            else if (std::strcmp(type, "W") == 0)
                rows.push_back({catalogue[i].number, MSG_POST_TYPE_WARNING});
            else if (std::strcmp(type, "E") == 0)
                rows.push_back({catalogue[i].number, MSG_POST_TYPE_ERROR});
        }
        // Sort keys place a moved number just after its anchor.
        const auto key = [](unsigned int number) {
            switch (number) {
            case 14992: return 10ULL * 268034 + 1;
            case 14761: return 10ULL * 268088 + 1;
            case 14762: return 10ULL * 268088 + 2;
            default: return 10ULL * number;
            }
        };
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const ROW& a, const ROW& b) { return key(a.number) < key(b.number); });
        VOKR_MSG_ID_TABLE t;
        for (const ROW& row : rows) {
            t.ids.push_back(row.number);
            t.types.push_back(row.type);
        }
        return t;
    }();
    return table;
}

void vokr_offer_static_package()
{
    if (!yuvr_is_dynamically_loading())
        Tcl_StaticPackage(nullptr, "Vokr", Vokr_Init, nullptr);
}

void vokr_release_tcl_package()
{
    if (gen_get_is_qt() && yuvr_get_interpreter())
        vokr_vokr_unregister_tcl();
}

// ---- built at load --------------------------------------------------------------------------------------

namespace {

const MEM_INITIALIZER memory_registration("VOKR");

// Offers the package at load and takes it away at exit.
struct VOKR_TCL_PACKAGE {
    VOKR_TCL_PACKAGE() { vokr_offer_static_package(); }
    ~VOKR_TCL_PACKAGE() { vokr_release_tcl_package(); }
    VOKR_TCL_PACKAGE(const VOKR_TCL_PACKAGE&) = delete;
    VOKR_TCL_PACKAGE& operator=(const VOKR_TCL_PACKAGE&) = delete;
};
const VOKR_TCL_PACKAGE tcl_package;

}  // namespace

VOKR_TEXT_MSG_MAP VOKR_TEXT_TO_MSG_MAP;
VOKR_MSG_DELETER VOKR_GLOBAL_MSG_DELETER;

const QString VOKR_NO_INSTANCES = vokr_status_text(268028);
const QString VOKR_NO_NODES = vokr_status_text(268029);
const QString VOKR_READY_TO_ACQUIRE = vokr_status_text(268031);
const QString VOKR_NOT_RUNNING = vokr_status_text(268032);
const QString VOKR_ACQUISITION_IN_PROGRESS = vokr_status_text(268033);
const QString VOKR_WAITING_FOR_CLOCK = vokr_status_text(268037);
const QString VOKR_COMPILE_DESIGN = vokr_status_text(268034);
const QString VOKR_RECOMPILE_DESIGN = vokr_status_text(14992);
const QString VOKR_REROUTE_DESIGN = vokr_status_text(268035);
const QString VOKR_PROGRAM_DEVICE = vokr_status_text(268036);
const QString VOKR_ACQUIRING_PRE_TRIGGER_DATA = vokr_status_text(268038);
const QString VOKR_ACQUIRING_POST_TRIGGER_DATA = vokr_status_text(268039);
const QString VOKR_OFFLOADING_DATA = vokr_status_text(268040);
const QString VOKR_WAITING_FOR_TRIGGER = vokr_status_text(268041);
const QString VOKR_TRIGGER_IN_MET = vokr_status_text(268047);
const QString VOKR_TRIGGER_LEVEL = vokr_status_text(268048);
const QString VOKR_INVALID_JTAG_CONFIGURATION = vokr_status_text(268030);
const QString VOKR_JTAG_COMMUNICATION_ERROR = vokr_status_text(268057);
const QString VOKR_JTAG_COMMUNICATION_BUSY = vokr_status_text(268058);
const QString VOKR_WAITING_FOR_JTAG = vokr_status_text(268049);
const QString VOKR_POWERUP_WAITING_FOR_CLOCK = vokr_status_text(268042);
const QString VOKR_POWERUP_WAITING_FOR_TRIGGER = vokr_status_text(268043);
const QString VOKR_POWERUP_ACQUIRING_PRE_TRIGGER_DATA = vokr_status_text(268044);
const QString VOKR_POWERUP_ACQUIRING_POST_TRIGGER_DATA = vokr_status_text(268045);
const QString VOKR_POWERUP_OFFLOADING_DATA = vokr_status_text(268046);
const QString VOKR_JTAG_ERR_VERSION_DIFF = vokr_status_text(268059);
const QString VOKR_JTAG_ERR_VERSION_MISMATCH = vokr_status_text(268060);
const QString VOKR_JTAG_ERR_NO_HARDWARE = vokr_status_text(268061);
const QString VOKR_JTAG_ERR_HANDWARE_CHANGED = vokr_status_text(268062);
const QString VOKR_JTAG_ERR_HANDWARE_BUSY = vokr_status_text(268063);
const QString VOKR_JTAG_ERR_NO_ZLM_NODE = vokr_status_text(268064);
const QString VOKR_JTAG_ERR_JTAG_ERROR = vokr_status_text(268065);
const QString VOKR_JTAG_ERR_SIF_INCOMPATIBLE = vokr_status_text(268066);

namespace {

// Made after the status texts and before the registrar, so that it is released between them.
const bool plugin_registry_made = (VOKR_PLUGIN_LIBRARY::registry(), true);

}  // namespace

// The view's notification map: the assignments-changed notification's number is looked up when
// the module loads, after the plug-in registry and before the registrar.
const MOLQ_NOTIFY_ENTRY VOKR_VIEW_MOLQ_HANDLER::m_notify_entries[100] = {
    {molq_get_message("MOLQ_MSG_OMU_ASSIGNMENTS_CHANGED"),
     static_cast<MOLQ_NOTIFY_HANDLER>(&VOKR_VIEW_MOLQ_HANDLER::on_assignments_changed)},
    {0, nullptr}};

const MOLQ_NOTIFY_MAP VOKR_VIEW_MOLQ_HANDLER::m_notify_map = {&MOLQ_NOTIFY_TARGET::m_notify_map,
                                                              VOKR_VIEW_MOLQ_HANDLER::m_notify_entries};

namespace {

const VOKR_MSG_ID_TABLE& msg_ids = vokr_msg_id_table();
const MSG_ID_REGISTRAR msg_id_registrar(msg_ids.ids.data(), msg_ids.types.data(), msg_ids.ids.size());

}  // namespace

const QString VOKR_PARAMETER_PATTERN = vokr_help_text(268088);
const QString VOKR_PARAMETER_BUS_VALUE = vokr_help_text(268092);
const QString VOKR_PARAMETER_BUS_NAME = vokr_help_text(268093);
const QString VOKR_PARAMETER_COMPARISON_TYPE = vokr_help_text(268086);
const QString VOKR_PARAMETER_SIGNED_COMPARISON_TYPE = vokr_help_text(268087);
const QString VOKR_PARAMETER_BIT_VALUE = vokr_help_text(268094);
const QString VOKR_PARAMETER_SHIFT_TYPE = vokr_help_text(268083);
const QString VOKR_PARAMETER_SHIFT_DIRECTION = vokr_help_text(268095);
const QString VOKR_PARAMETER_SHIFT_DISTANCE = vokr_help_text(268084);
const QString VOKR_PARAMETER_BUS_DISPLAY_FORMAT = vokr_help_text(268089);
const QString VOKR_PARAMETER_BIT_ORDER = vokr_help_text(268090);
const QString VOKR_PARAMETER_PIPELINE = vokr_help_text(268085);
const QString VOKR_PARAMETER_DATA_DELAY = vokr_help_text(268091);
const QString VOKR_PARAMETER_BITWISE_OPERATOR_TYPE = vokr_help_text(268096);
const QString VOKR_PARAMETER_LOGICAL_OPERATOR_TYPE = vokr_help_text(268097);
const QString VOKR_PARAMETER_REDUCTION_OPERATOR_TYPE = vokr_help_text(268098);
const QString VOKR_PARAMETER_COUNTER_TYPE = vokr_help_text(268099);
const QString VOKR_PARAMETER_COUNTER_WIDTH = vokr_help_text(268100);
const QString VOKR_PARAMETER_COUNTER_VALUE = vokr_help_text(268101);
const QString VOKR_PARAMETER_COUNTER_HOLD = vokr_help_text(268102);
const QString VOKR_PARAMETER_MODULE_NAME = vokr_help_text(14762);
const QString VOKR_PARAMETER_BITSTREAM = vokr_help_text(14761);
