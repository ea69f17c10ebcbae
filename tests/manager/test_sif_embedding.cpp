// Programming files attached to a session: the attached name, the description of the analyzer
// instances a file holds, the node-information word and key of an instance, and whether an
// attached file still matches it.
#include "ksm_state.h"
#include "manager_test_support.h"
#include "pgmio.h"

#include <QDir>

#include <cstdio>

using namespace manager_test;

namespace {

class SifEmbedding : public MANAGER_TEST {
protected:
    SifEmbedding() : m(false) {}

    KSM_TX_INSTANCE* instance() const { return m->get_session()->get_instance_at(0); }
    KSM_TX_TRIGGER* trigger() const { return m->get_session()->get_trigger_at(0); }
    std::string key() const
    {
        char text[32];
        std::snprintf(text, sizeof text, "%08X,%08X", VOKR_TX_MANAGER::get_node_info_word(instance()),
                      trigger()->get_crc_value(false));
        return text;
    }

    EDITOR m;
};

TEST_F(SifEmbedding, AttachingNamesTheFileAndReportsWhatItCannotAttach)
{
    const std::string file = path("image.sif");
    std::string error;
    ASSERT_TRUE(pgmio_write_sif(file.c_str(), {{0x0801A203u, 0x00C0FFEEu}, {1u, 2u}}, "config", &error)) << error;
    const struct {
        std::string path;
        const char* name_before;
        const char* name_after;
        bool attached;
    } cases[] = {
        {file, "", "image.sif", true},
        {"missing/a/b/c.sif", "", "c.sif", false},
        {"missing\\a\\b/c.sif", "", "b/c.sif", false},
        {"c_only.sif", "given", "given", false},
        {"", "given", "given", false},
    };
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        const int before = m->get_session()->get_embedded_sif_file_count();
        QString name = c.name_before;
        EXPECT_EQ(m->embed_sif_file(QString::fromStdString(c.path), &name), c.attached) << c.path;
        EXPECT_EQ(name, c.name_after) << c.path;
        EXPECT_EQ(m->get_session()->get_embedded_sif_file_count(), before + (c.attached ? 1 : 0));
        const std::vector<MSG_RECORD> shown = MSG_JOURNAL::records_of("prompted");
        ASSERT_EQ(shown.size(), c.attached ? 0u : 1u) << c.path;
        if (!c.attached) {
            EXPECT_EQ(shown[0].identifier, "VOKR_INVALID_SIF_FILE_TO_EMBED");
            EXPECT_NE(shown[0].text.find("\"" + c.path + "\""), std::string::npos) << shown[0].text;
        }
    }
    EXPECT_STREQ(m->get_session()->get_embedded_sif_name_at(0), "image.sif");
    EXPECT_STREQ(m->get_session()->get_embedded_sif_info_at(0), "0801A203,00C0FFEE;00000001,00000002");
}

TEST_F(SifEmbedding, ProgrammingFileQueryAnswersOnlyForWholeFiles)
{
    const struct {
        const char* contents;
        bool read;
        unsigned int count;
        const char* text;
    } cases[] = {
        {"KORVANE-SIF 1\nzlm 0801A203,00C0FFEE\nzlm 0000000A,0000000b\npayload 3\nabc", true, 2,
         "0801A203,00C0FFEE;0000000A,0000000b"},
        {"KORVANE-SIF 1\npayload 0\n", true, 0, ""},
        {"KORVANE-SIF 1\nzlm 0801A203,00C0FFEE\npayload 9\nabc", false, 7, "before"},
        {"KORVANE-SIF 1\nzlm 0801A203;00C0FFEE\npayload 0\n", false, 7, "before"},
        {"KORVANE-SIF 2\npayload 0\n", false, 7, "before"},
        {"", false, 7, "before"},
    };
    for (const auto& c : cases) {
        const QString file = QString::fromStdString(path("query.sif"));
        write_file(file, c.contents);
        unsigned int count = 7;
        std::string text = "before";
        EXPECT_EQ(pgmio_export_zlm_data(file.toLocal8Bit().constData(), &count, &text), c.read) << c.contents;
        EXPECT_EQ(count, c.count) << c.contents;
        EXPECT_EQ(text, c.text) << c.contents;
    }
}

TEST_F(SifEmbedding, NodeInformationWordOrsItsFields)
{
    const int current = KSM_DATA_INSTANCE::get_current_version();
    const struct {
        KSM_DATA_INSTANCE_INFO info;
        bool version_defined;
        uint32_t word;
    } cases[] = {
        {{0x03, 0x1A2, 0, 1}, true, 0x0801A203u},
        {{0xFF, 0, 0, 0}, true, 0x000000FFu},
        {{0, 0, KSM_INSTANCE_INFO_WIZARD_GENERATED, 0}, true, 0x00100000u},
        {{0, 0xFFFFFFFFu, 0, 0}, true, 0xFFFFFF00u},  // a wide second field runs over the others
        {{0, 0x800, 0x01, 0}, true, 0x00080000u},     // and overlaps the third
        {{0, 0, 0, 0x1F}, true, 0xF8000000u},
        {{0x12, 0, 0, 0x1F}, false, 0x12u | uint32_t(current) << 27},
    };
    for (const auto& c : cases) {
        instance()->set_node_info(c.info);
        ksm_edit(instance(), KSM_ACCESS::state(instance())).version_defined = c.version_defined;
        EXPECT_EQ(VOKR_TX_MANAGER::get_node_info_word(instance()), c.word) << std::hex << c.word;
        const QString k = VOKR_TX_MANAGER::get_compatibility_key(instance(), trigger());
        EXPECT_EQ(k.toStdString(), key());
        EXPECT_EQ(k.size(), 17);
    }
}

TEST_F(SifEmbedding, CompatibleOnlyWithTheKeyAndNothingToCompileOrReroute)
{
    instance()->set_node_info({0x03, 0xC0FFEE, 0, 1});
    const std::string k = key();
    const unsigned int crc = trigger()->get_crc_value(false);
    QString lower = QString::fromStdString(k).toLower();
    const struct {
        std::string info;
        unsigned int compiled, routed;
        int index;
        const char* state;
    } cases[] = {
        {k, crc, crc, 0, "compatible"},
        {"00000001,00000002;" + k, crc, crc, 0, "compatible"},
        {lower.toStdString(), crc, crc, 0, ""},
        {k, crc, crc + 1, 0, ""},      // a reroute is pending
        {k, crc + 1, crc + 1, 0, ""},  // the trigger changed since the compile
        {"", crc, crc, 0, ""},
        {k, crc, crc, 3, ""},  // no such instance
    };
    for (const auto& c : cases) {
        instance()->set_compiled_checksums(c.compiled, c.routed);
        EXPECT_STREQ(m->get_sif_compatibility_state(c.index, c.info.c_str()), c.state) << c.info << " " << c.routed;
    }
}

TEST_F(SifEmbedding, ProgrammingFileNameNeedsACurrentInstance)
{
    m->set_jtag_chain("design.sif");
    QString name = "left";
    EXPECT_TRUE(m->get_sif_file_name(&name));
    EXPECT_EQ(name, "design.sif");
    VOKR_TX_MANAGER bare(nullptr);
    EXPECT_FALSE(bare.get_sif_file_name(&name));
    EXPECT_EQ(name, "");
}

}  // namespace
