// Small suite services: configuration switches, module path, hash sizing, registry.
#include "cfg.h"
#include "gen.h"
#include "hux.h"
#include "nixq.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(ConfigSwitches, EnvironmentWinsOverFileWhichWinsOverDefault)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("switches.cfg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# comment\nvok_show_equation = on\nzlm_split_bus_values=OFF\nbroken = maybe\n");
    file.close();
    setenv("KORVANE_CFG_FILE", path.toLocal8Bit().constData(), 1);

    EXPECT_TRUE(cfg_is_on("vok_show_equation", false));
    EXPECT_FALSE(cfg_is_on("zlm_split_bus_values", true));
    EXPECT_TRUE(cfg_is_on("broken", true));  // not a switch value: the default holds
    EXPECT_FALSE(cfg_is_on("absent", false));

    setenv("KORVANE_CFG_vok_show_equation", "no", 1);
    EXPECT_FALSE(cfg_is_on("vok_show_equation", true));
    unsetenv("KORVANE_CFG_vok_show_equation");
    unsetenv("KORVANE_CFG_FILE");
    EXPECT_TRUE(cfg_is_on("vok_show_equation", true));
}

TEST(ModulePath, EndsWithSeparatorAndCanBeOverridden)
{
    const std::string own = gen_get_module_path();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '/');
    gen_set_module_path("/tmp/plugins");
    EXPECT_EQ(gen_get_module_path(), "/tmp/plugins/");
    gen_set_module_path("");
    EXPECT_EQ(gen_get_module_path(), own);
}

TEST(HashSizing, GivesAPrimeAtLeastHalfAgainAsLarge)
{
    for (unsigned wanted : {0u, 1u, 60u, 65u, 1000u, 123457u}) {
        const unsigned size = hux_hash_50_percent_increase_size(wanted);
        EXPECT_GE(size, wanted + wanted / 2);
        for (unsigned d = 2; d * d <= size; ++d)
            EXPECT_NE(size % d, 0u) << size;
    }
}

TEST(Registry, ValuesPersistPerSubKey)
{
    QTemporaryDir dir;
    setenv("KORVANE_SETTINGS_DIR", dir.path().toLocal8Bit().constData(), 1);
    NIXQ_REGISTRY_KEY key(32);
    QVariant value;
    EXPECT_FALSE(key.get_value("show_time_bars", &value));
    EXPECT_TRUE(key.set_value("show_time_bars", false));
    EXPECT_TRUE(NIXQ_REGISTRY_KEY(32).get_value("show_time_bars", &value));
    EXPECT_FALSE(value.toBool());
    EXPECT_FALSE(NIXQ_REGISTRY_KEY(33).get_value("show_time_bars", &value));
    key.remove_value("show_time_bars");
    EXPECT_FALSE(key.get_value("show_time_bars", &value));
    unsetenv("KORVANE_SETTINGS_DIR");
}

}  // namespace
