// The module as a Tcl extension: registration, the command table and the command objects.
#include "gen.h"
#include "vokr_tcl.h"
#include "vokr_tcl_args_auto.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace {

class TclPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        interp = Tcl_CreateInterp();
        yuvr_set_interpreter(interp);
    }

    static std::string eval(const std::string& script, int* code = nullptr)
    {
        const int result = Tcl_Eval(interp, script.c_str());
        if (code)
            *code = result;
        return Tcl_GetStringResult(interp);
    }

    static bool exists(const char* command) { return eval(std::string("info commands ") + command) == command; }

    static Tcl_Interp* interp;
};

Tcl_Interp* TclPackage::interp = nullptr;

TEST_F(TclPackage, StaticPackageLoadsAndProvidesTheNamespace)
{
    int code = 0;
    eval("load {} Vokr", &code);
    ASSERT_EQ(code, TCL_OK) << Tcl_GetStringResult(interp);
    EXPECT_EQ(eval("package provide ::korvane::vokr"), "1.0");
    for (const YUVR_CALLBACK* row = vokr_tcl_callback_table(); row->proc; ++row)
        EXPECT_TRUE(exists(row->name)) << row->name;
}

TEST_F(TclPackage, CallbackTableHas36RowsInDefinitionOrderAndAZeroRow)
{
    const YUVR_CALLBACK* table = vokr_tcl_callback_table();
    int rows = 0;
    for (; table[rows].proc; ++rows) {
        EXPECT_STREQ(table[rows].name, VOKR_TCL_COMMAND_DEFINITIONS[rows].command);
        EXPECT_EQ(table[rows].client_data, nullptr);
    }
    EXPECT_EQ(rows, 36);
    EXPECT_EQ(table[36].name, nullptr);
}

TEST_F(TclPackage, CommandObjectIsMadeOnFirstCallOnly)
{
    eval("load {} Vokr");
    VOKR_TCL_COMMAND_CACHE& cache = vokr_tcl_command_cache();
    EXPECT_EQ(cache[VOKR_TCL_TEST_UPDATE_WAVEFORM_MENU], nullptr);  // never called here
    eval("catch {vokr_find -direction 0 -find_string a}");
    YUVR_CMD* first = cache[VOKR_TCL_FIND].get();
    ASSERT_NE(first, nullptr);
    eval("catch {vokr_find -h}");
    EXPECT_EQ(cache[VOKR_TCL_FIND].get(), first);
    EXPECT_EQ(cache[VOKR_TCL_TEST_UPDATE_WAVEFORM_MENU], nullptr);
}

TEST_F(TclPackage, ParsedOptionsReachTheCommandAndErrorsNameTheOption)
{
    eval("load {} Vokr");
    int code = 0;
    EXPECT_EQ(eval("vokr_switch_to_advanced_view -combobox_type nope", &code),
              "vokr_switch_to_advanced_view: option \"-combobox_type\" expects an integer, got \"nope\"");
    EXPECT_EQ(code, TCL_ERROR);
    EXPECT_EQ(eval("vokr_set_storage_qualifier", &code), "vokr_set_storage_qualifier: no editor window is open");
    EXPECT_EQ(eval("vokr_on_advanced_key_press -keyboard_key a -keyboard_modifier 4294967296", &code),
              "vokr_on_advanced_key_press: option \"-keyboard_modifier\" expects an unsigned integer, got "
              "\"4294967296\"");
}

TEST_F(TclPackage, UnregisterRemovesTheCommandsAndRegisterBringsThemBack)
{
    eval("load {} Vokr");
    ASSERT_TRUE(exists("vokr_open_file"));
    vokr_vokr_unregister_tcl();
    EXPECT_FALSE(exists("vokr_open_file"));
    EXPECT_EQ(eval("package provide ::korvane::vokr"), "");
    EXPECT_EQ(vokr_vokr_register_tcl(), TCL_OK);
    EXPECT_TRUE(exists("vokr_open_file"));
}

// A host finds the entry points by their plain names.
TEST_F(TclPackage, EntryPointsHavePlainNames)
{
    const std::pair<const char*, void*> entry_points[] = {
        {"Vokr_Init", reinterpret_cast<void*>(&Vokr_Init)},
        {"Vokr_Unload", reinterpret_cast<void*>(&Vokr_Unload)},
        {"vokr_vokr_register_tcl", reinterpret_cast<void*>(&vokr_vokr_register_tcl)},
        {"vokr_vokr_unregister_tcl", reinterpret_cast<void*>(&vokr_vokr_unregister_tcl)},
        {"zlm_vokr_create_frame_wnd", reinterpret_cast<void*>(&zlm_vokr_create_frame_wnd)},
    };
    for (const auto& entry : entry_points)
        EXPECT_EQ(dlsym(RTLD_DEFAULT, entry.first), entry.second) << entry.first;
}

// Unloading forgets the package a host requires by its short name, and keeps the script that
// loads it again.
TEST_F(TclPackage, UnloadForgetsThePackage)
{
    eval("package ifneeded vokr 1.0 {load {} Vokr; package provide vokr 1.0}");
    ASSERT_EQ(eval("package require vokr"), "1.0");
    EXPECT_EQ(Vokr_Unload(interp, 0), TCL_OK);
    EXPECT_FALSE(exists("vokr_open_file"));
    EXPECT_EQ(eval("package provide vokr"), "");
    EXPECT_EQ(eval("package ifneeded vokr 1.0"), "load {} Vokr; package provide vokr 1.0");
    EXPECT_EQ(vokr_vokr_register_tcl(), TCL_OK);
}

TEST_F(TclPackage, DeletedInterpreterIsForgotten)
{
    Tcl_Interp* other = Tcl_CreateInterp();
    yuvr_set_interpreter(other);
    Tcl_DeleteInterp(other);
    EXPECT_EQ(yuvr_get_interpreter(), nullptr);
    yuvr_set_interpreter(interp);
}

// The exit-time unregistration leaves alone an interpreter that is gone or was never set.
TEST(TclPackageDeathTest, ExitWithoutAnInterpreterIsQuiet)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            gen_set_is_qt(true);
            yuvr_set_interpreter(nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            gen_set_is_qt(true);
            Tcl_Interp* interp = Tcl_CreateInterp();
            yuvr_set_interpreter(interp);
            Tcl_Eval(interp, "load {} Vokr");
            Tcl_DeleteInterp(interp);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(TclPackageDeathTest, RegistrationNeedsAnInterpreter)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            yuvr_set_interpreter(nullptr);
            vokr_vokr_register_tcl();
        },
        "A Tcl interpreter must exist before registering ::korvane::vokr!");
    EXPECT_DEATH(
        {
            yuvr_set_interpreter(nullptr);
            vokr_vokr_unregister_tcl();
        },
        "A Tcl interpreter must exist before unregistering");
}

}  // namespace
