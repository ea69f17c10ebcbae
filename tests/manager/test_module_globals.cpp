// The module's process-wide objects: the lock-mode map, the registrar's identifiers, the
// brush, pens and palettes, and the Tcl package's release at exit.
#include "gen.h"
#include "mem.h"
#include "vokr_globals.h"
#include "vokr_tcl.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(ModuleGlobals, LockModeMapKnowsExactlyTheThreeLabels)
{
    const VOKR_LOCK_MODE_MAP& map = vokr_lock_mode_map();
    EXPECT_EQ(map.size(), 3);
    const struct {
        const char* label;
        int mode;
    } cases[] = {{"Allow all changes", 0},
                 {"Allow incremental route changes only", 1},
                 {"Allow trigger condition changes only", 2},
                 {"allow all changes", -1},
                 {"Allow nothing", -1},
                 {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(map.value(c.label, -1), c.mode) << c.label;
}

// Every posted message in number order, but for the three older numbers placed beside the
// messages they go with, each registered with its post type while the module is loaded.
TEST(ModuleGlobals, RegistrarHoldsTheSeventyFourPostedIdentifiersInOrder)
{
    const VOKR_MSG_ID_TABLE& table = vokr_msg_id_table();
    ASSERT_EQ(table.ids.size(), 74u);
    ASSERT_EQ(table.types.size(), 74u);
    const auto position = [&](unsigned int id) {
        return std::find(table.ids.begin(), table.ids.end(), id) - table.ids.begin();
    };
    const struct {
        unsigned int id;
        unsigned int follows;
    } moved[] = {{14992, 268034}, {14761, 268088}, {14762, 14761}};
    for (const auto& m : moved)
        EXPECT_EQ(position(m.id), position(m.follows) + 1) << m.id;
    int counts[3] = {};
    for (size_t i = 0; i < table.ids.size(); ++i) {
        const unsigned int id = table.ids[i];
        const MSG_POST_TYPE type = table.types[i];
        ++counts[type];
        const bool warning = id == 268002 || id == 268003 || id == 268004 || id == 268109;
        const bool error = id >= 268059 && id <= 268066;
        EXPECT_EQ(type, warning ? MSG_POST_TYPE_WARNING : error ? MSG_POST_TYPE_ERROR : MSG_POST_TYPE_INFO) << id;
        EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(id), type) << id;
        const bool both_recent = i > 0 && id > 200000 && table.ids[i - 1] > 200000;
        EXPECT_TRUE(!both_recent || id > table.ids[i - 1]) << id;
    }
    EXPECT_EQ(counts[MSG_POST_TYPE_INFO], 62);
    EXPECT_EQ(counts[MSG_POST_TYPE_WARNING], 4);
    EXPECT_EQ(counts[MSG_POST_TYPE_ERROR], 8);
}

TEST(ModuleGlobals, ModuleIsRegisteredWithTheMemoryLibrary)
{
    const std::vector<std::string> tags = MEM_INITIALIZER::registered_tags();
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "VOKR"), 1);
}

TEST(ModuleGlobals, BrushPensAndPalettes)
{
    EXPECT_EQ(vokr_light_blue_brush(), QBrush(QColor(153, 204, 255), Qt::SolidPattern));
    EXPECT_EQ(vokr_purple_pen().color(), QColor(128, 0, 128));
    const QPen& dotted = vokr_dotted_pen();
    EXPECT_EQ(dotted.brush(), QApplication::palette().brush(QPalette::Dark));
    EXPECT_EQ(dotted.widthF(), 1.0);
    EXPECT_EQ(dotted.style(), Qt::CustomDashLine);
    EXPECT_EQ(dotted.dashPattern(), QVector<qreal>({1.0, 1.0}));
    EXPECT_EQ(dotted.capStyle(), Qt::FlatCap);
    EXPECT_EQ(dotted.joinStyle(), Qt::MiterJoin);
    const struct {
        const QPalette& palette;
        QPalette::ColorRole role;
        QBrush brush;
    } palettes[] = {
        {vokr_transparent_palette(), QPalette::Base, QBrush(Qt::NoBrush)},
        {vokr_yellow_palette(), QPalette::Base, QBrush(Qt::yellow)},
        {vokr_green_palette(), QPalette::Base, QBrush(Qt::green)},
        {vokr_red_palette(), QPalette::Base, QBrush(Qt::red)},
        {vokr_red_text_palette(), QPalette::Text, QBrush(Qt::red)},
    };
    for (const auto& p : palettes)
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            EXPECT_EQ(p.palette.brush(group, p.role), p.brush) << p.brush.color().name().toStdString();
}

// At exit the package is taken away only when the suite runs its Qt interface.
TEST(ModuleGlobals, ExitUnregistersThePackageOnlyUnderTheQtInterface)
{
    Tcl_Interp* interp = Tcl_CreateInterp();
    yuvr_set_interpreter(interp);
    for (bool is_qt : {false, true}) {
        ASSERT_EQ(Tcl_Eval(interp, "load {} Vokr"), TCL_OK) << Tcl_GetStringResult(interp);
        gen_set_is_qt(is_qt);
        vokr_release_tcl_package();
        Tcl_Eval(interp, "info commands vokr_open_file");
        EXPECT_EQ(std::string(Tcl_GetStringResult(interp)), is_qt ? "" : "vokr_open_file") << is_qt;
    }
    gen_set_is_qt(false);
    Tcl_DeleteInterp(interp);
}

}  // namespace
