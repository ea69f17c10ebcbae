// Loads the module as Tcl does and unloads it again, twice, in a process that does not link it:
// each load builds the module's objects anew and each unload releases them (the sanitized build
// reports at exit whatever an unload left behind).
#include "gen.h"
#include "mem.h"
#include "msg.h"
#include "yuvr.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <tcl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

const std::string MODULE = VOKR_MODULE_FILE;

bool module_mapped()
{
    void* handle = dlopen(MODULE.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

bool module_registered()
{
    const std::vector<std::string> tags = MEM_INITIALIZER::registered_tags();
    return std::find(tags.begin(), tags.end(), "VOKR") != tags.end();
}

class ModuleReload : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("KORVANE_TCL_DYNAMIC", "1", 1);
        interp = Tcl_CreateInterp();
        yuvr_set_interpreter(interp);
    }
    void TearDown() override { Tcl_DeleteInterp(interp); }
    std::string eval(const std::string& script, int expected_code = TCL_OK)
    {
        EXPECT_EQ(Tcl_Eval(interp, script.c_str()), expected_code) << script << ": " << Tcl_GetStringResult(interp);
        return Tcl_GetStringResult(interp);
    }

    Tcl_Interp* interp = nullptr;
};

// The second round runs under the suite's Qt interface, where the unloaded module takes its
// package away once more at exit.
TEST_F(ModuleReload, LoadingAndUnloadingTwiceBuildsAndReleasesEverything)
{
    for (bool is_qt : {false, true}) {
        SCOPED_TRACE(is_qt ? "Qt interface" : "no Qt interface");
        gen_set_is_qt(is_qt);
        ASSERT_FALSE(module_mapped());
        eval("load {" + MODULE + "} Vokr");
        EXPECT_TRUE(module_registered());
        EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(268059), MSG_POST_TYPE_ERROR);
        EXPECT_EQ(eval("info commands vokr_open_file"), "vokr_open_file");
        eval("unload {" + MODULE + "}");
        EXPECT_FALSE(module_mapped());
        EXPECT_FALSE(module_registered());
        EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(268059), -1);
        EXPECT_EQ(eval("info commands vokr_open_file"), "");
    }
    gen_set_is_qt(false);
}

}  // namespace
