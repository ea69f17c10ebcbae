// The IP wizard's facade: its initialisers on the reserved data session, the trigger logic it
// writes per advanced level, the toggles, and the geometry of its embedded panel.
#include "manager_test_support.h"

#include "vokr_globals.h"
#include "vokr_wizard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSplitter>
#include <QTemporaryDir>
#include <QWidget>

#include <sys/stat.h>

using namespace manager_test;

namespace {

class Wizard : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        ASSERT_TRUE(w.create_session());
    }
    void TearDown() override
    {
        w.destroy_triggers();
        w.destroy_frame();
        w.destroy_document();
        MANAGER_TEST::TearDown();
    }
    KSM_TX_TRIGGER* trigger() const { return w.get_manager()->get_trigger_object(); }

    VOKR_WIZARD w;
};

TEST_F(Wizard, InitialisersWriteTheDataSession)
{
    ASSERT_TRUE(w.initialize_trigger_nodes_allocated(3));
    EXPECT_FALSE(w.initialize_trigger_level(12));  // one level already, at most 10
    EXPECT_TRUE(w.initialize_advanced_trigger_expression(1, "and('a','b')"));
    EXPECT_TRUE(w.initialize_advanced_trigger_expression(1, "NONE"));
    EXPECT_TRUE(w.initialize_advanced_trigger_expression(2, "and('a','b')"));
    EXPECT_TRUE(w.initialize_advanced_trigger_expression(2, ""));
    EXPECT_TRUE(w.initialize_advanced_trigger_expression(3, "ec(4,9,s,1,'a')"));
    ASSERT_TRUE(w.create_document());

    EXPECT_EQ(w.get_trigger_nodes_allocated(), 3);
    KSM_TX_TRIGGER* t = trigger();
    ASSERT_EQ(t->get_num_nodes(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t->get_node_name(i), "acq_trigger_in[" + std::to_string(i) + "]");
        EXPECT_EQ(t->get_node_use(i), KSM_CAPTURE_BOTH);
        EXPECT_EQ(t->get_tap_mode(i), KSM_TAP_PRE_SYNTHESIS);
    }
    int levels = 0;
    EXPECT_TRUE(w.get_trigger_level(&levels));
    EXPECT_EQ(levels, VOKR_WIZARD::MAX_LEVELS);
    QString text;
    for (int level : {1, 2}) {
        EXPECT_TRUE(t->is_trigger_level_basic_condition(level)) << level;
        EXPECT_FALSE(w.get_trigger_expression(level, &text)) << level;
        EXPECT_EQ(text, "");
    }
    EXPECT_TRUE(w.get_trigger_expression(3, &text));
    EXPECT_EQ(text, "ec(4,9,s,1,'a')");
    EXPECT_TRUE(w.is_advanced_trigger(3));
    EXPECT_FALSE(w.is_advanced_trigger_complete(3));  // 'a' is no node of the trigger list
    EXPECT_TRUE(w.is_advanced_trigger_complete(1));
}

// Texts the wizard passes for the storage qualifier and the RAM type.
TEST_F(Wizard, SettingTextsMapToRepositoryValues)
{
    const struct {
        const char* text;
        bool accepted;
        KSM_DATA_STORAGE_QUALIFIER_TYPE type;
    } qualifiers[] = {{"PORT", true, KSM_SQTYPE_INPUT_PORT},
                      {"foo", false, KSM_SQTYPE_INPUT_PORT},
                      {"OFF", true, KSM_SQTYPE_CONTINUOUS},
                      {"port", false, KSM_SQTYPE_CONTINUOUS}};
    const struct {
        const char* text;
        KSM_TALVERN_RAM_TYPE type;
    } rams[] = {{"tb144", KSM_RAM_LARGE},
                {"AUTO", KSM_RAM_AUTO},
                {"TLM", KSM_RAM_SMALL},
                {"TB", KSM_RAM_MEDIUM},
                {"none of them", KSM_RAM_AUTO}};
    ASSERT_TRUE(w.create_document());
    for (const auto& c : qualifiers) {
        EXPECT_EQ(w.initialize_storage_qualifier_type(c.text), c.accepted) << c.text;
        EXPECT_EQ(trigger()->get_storage_qualifier_type(), c.type) << c.text;
    }
    QString label;
    for (const auto& c : rams) {
        w.initialize_ram_type(c.text);
        ASSERT_TRUE(w.get_ram_type(&label));
        EXPECT_EQ(label, vokr_ram_type_labels().at(c.type)) << c.text;
    }
}

// Levels 1 basic, 2 and 3 advanced: one module each for 2 and 3, their trigger decisions lined
// up; a directory that cannot be made is reported, not fatal.
TEST_F(Wizard, CreateTriggersWritesOneModulePerAdvancedLevel)
{
    w.initialize_trigger_nodes_allocated(2);
    w.initialize_trigger_level(2);
    w.initialize_advanced_trigger_expression(1, "and('acq_trigger_in[0]','acq_trigger_in[1]')");
    w.initialize_advanced_trigger_expression(2, "(compare({'acq_trigger_in[0]','acq_trigger_in[1]'},>,2,cc,uc))#3");
    ASSERT_TRUE(w.create_document());
    ASSERT_TRUE(w.create_triggers("top", m_dir.path())) << w.get_last_error().toStdString();
    EXPECT_TRUE(w.is_advanced_trigger_used());
    EXPECT_TRUE(w.is_advanced_trigger_complete(-1));
    const bool written[] = {false, true, true};
    for (int i = 0; i < 3; ++i) {
        QFile hdl(m_dir.filePath(QString("top_level_%1.v").arg(i + 1)));
        EXPECT_EQ(hdl.open(QIODevice::ReadOnly), written[i]) << i;
        EXPECT_EQ(hdl.readAll().contains(QString("module top_level_%1 (").arg(i + 1).toUtf8()), written[i]) << i;
    }
    EXPECT_EQ(w.get_pipeline_latency(0), 1);
    EXPECT_EQ(w.get_delay(0), 0);
    EXPECT_GT(w.get_delay(1), 0);
    EXPECT_EQ(w.get_pipeline_latency(1) + w.get_delay(1), w.get_pipeline_latency(2) + w.get_delay(2));
    for (int outside : {-1, VOKR_WIZARD::MAX_LEVELS})
        EXPECT_EQ(w.get_delay(outside), 0);
    w.destroy_triggers();
    EXPECT_FALSE(w.is_advanced_trigger_used());
    EXPECT_EQ(w.get_delay(2), 0);

    write_file(m_dir.filePath("plain"), "not a directory");
    EXPECT_FALSE(w.create_triggers("top", m_dir.filePath("plain/hdl")));
    EXPECT_TRUE(w.get_last_error().contains("top_level_2")) << w.get_last_error().toStdString();
}

// Each toggle flips its setting in one undo unit, as does a bracket of the wizard's edits;
// without a current instance a toggle does nothing.
TEST_F(Wizard, TogglesFlipTheCurrentInstanceOnly)
{
    const struct {
        const char* name;
        bool (VOKR_WIZARD::*toggle)();
        bool (VOKR_WIZARD::*state)() const;
    } toggles[] = {
        {"trigger in", &VOKR_WIZARD::toggle_trigger_in, &VOKR_WIZARD::is_trigger_in_enabled},
        {"trigger out", &VOKR_WIZARD::toggle_trigger_out, &VOKR_WIZARD::is_trigger_out_enabled},
        {"segments", &VOKR_WIZARD::toggle_segmented_acquisition, &VOKR_WIZARD::is_segmented_acquisition_enabled},
        {"discontinuities", &VOKR_WIZARD::toggle_record_data_discontinuities,
         &VOKR_WIZARD::is_record_data_discontinuities_enabled}};
    ASSERT_TRUE(w.create_document());
    for (const auto& c : toggles) {
        const bool before = (w.*c.state)();
        EXPECT_TRUE((w.*c.toggle)()) << c.name;
        EXPECT_NE((w.*c.state)(), before) << c.name;
        w.get_manager()->on_edit_undo();
        EXPECT_EQ((w.*c.state)(), before) << c.name;
    }
    w.begin_action();  // the wizard's edits in one undo unit
    w.set_sample_depth("256");
    w.set_ram_type(vokr_ram_type_labels().at(KSM_RAM_SMALL));
    w.end_action();
    EXPECT_EQ(w.get_sample_depth(), 256);
    w.get_manager()->on_edit_undo();
    EXPECT_EQ(w.get_sample_depth(), KSM_DEFAULT_SAMPLE_DEPTH);
    QString label;
    EXPECT_TRUE(w.get_ram_type(&label));
    EXPECT_EQ(label, vokr_ram_type_labels().at(KSM_RAM_AUTO));

    w.get_manager()->close_document();
    for (const auto& c : toggles) {
        EXPECT_TRUE((w.*c.toggle)()) << c.name;
        EXPECT_FALSE((w.*c.state)()) << c.name;
    }
    EXPECT_TRUE(w.is_advanced_trigger_complete(0));
}

// The wizard saves its document to no pipe: the save is refused with the reason, and the pipe stays.
TEST_F(Wizard, SaveToAPipeIsRefusedAndKeepsThePipe)
{
    ASSERT_TRUE(w.create_document());
    QTemporaryDir dir;
    const QByteArray pipe = QFile::encodeName(dir.filePath("pipe.lmx"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    EXPECT_FALSE(w.save_document(pipe.constData()));
    EXPECT_TRUE(w.get_last_error().contains("it is not a regular file")) << w.get_last_error().toStdString();
    struct stat s;
    ASSERT_EQ(::lstat(pipe.constData(), &s), 0);
    EXPECT_TRUE(S_ISFIFO(s.st_mode));
}

// The left column is 211 pixels wide and split evenly; the diagram takes the rest.
TEST_F(Wizard, PanelGivesTheDiagramEverythingRightOfTheLeftColumn)
{
    w.initialize_advanced_trigger_expression(0, "'acq_trigger_in[0]'");  // the level the diagram shows
    ASSERT_TRUE(w.create_document());
    QWidget page;
    page.resize(900, 600);
    w.create_frame(&page);
    w.create_frame(&page);  // attaches the same panel again
    page.show();
    w.resize_frame();
    const QList<QSplitter*> splitters = page.findChildren<QSplitter*>();
    ASSERT_EQ(splitters.size(), 2);
    QSplitter* across = splitters[0]->orientation() == Qt::Horizontal ? splitters[0] : splitters[1];
    QSplitter* down = across == splitters[0] ? splitters[1] : splitters[0];
    EXPECT_EQ(across->sizes(), (QList<int>{211, across->width() - 211 - across->handleWidth()}));
    const QList<int> halves = down->sizes();
    EXPECT_LE(std::abs(halves[0] - halves[1]), 1);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 50)
        QCoreApplication::processEvents();  // the deferred arrangement of the diagram runs
    w.destroy_frame();
    EXPECT_TRUE(page.findChildren<QSplitter*>().isEmpty());
    EXPECT_EQ(page.layout(), nullptr);
    w.create_frame(&page);  // built anew; the page takes it down before TearDown destroys the frame
    EXPECT_EQ(page.findChildren<QSplitter*>().size(), 2);
}

}  // namespace
