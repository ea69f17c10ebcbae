// The session file: a full round trip into a fresh session, refusal of damaged and foreign
// files, a bounded mutation run, and saves that fail.
#include "ksm_payload_filter.h"
#include "ksm_state.h"
#include "ksm_test_session.h"
#include "ksm_zlib.h"
#include "msg.h"
#include "vokr_session_object.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtEndian>
#include <QtGlobal>

#include <gtest/gtest.h>
#include <zlib.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <thread>

namespace {

using ROW = KSM_TX_SIGNAL_NODES::ROW;

// Attributes and shape of a tree, walked through the repository's own slots.
std::string tree_text(KSM_TX_TREE_OBJECT* object)
{
    if (!object)
        return "(none)";
    std::string text = "{";
    for (const auto& [key, value] : object->collect_attributes())
        text.append(key).append("=").append(value).append(";");
    for (int i = 0; i < object->get_child_count(); ++i)
        text += tree_text(object->get_child_object(i));
    return text + "}";
}

// ---- files ----------------------------------------------------------------------------------------------

QByteArray read_bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write_bytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::string local(const QString& path) { return path.toLocal8Bit().toStdString(); }

// Where two files' bytes first differ; -1 when they are the same.
int first_difference(const QByteArray& a, const QByteArray& b)
{
    const int n = static_cast<int>(std::min(a.size(), b.size()));
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i])
            return i;
    return a.size() == b.size() ? -1 : n;
}

// The document `bytes` holds as an indenting QXmlStreamWriter writes it: a file written so
// gives its own bytes back. An element without content written with an end tag was given an
// empty text.
QByteArray as_xml_writer_writes(const QByteArray& bytes)
{
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    const QString source = QString::fromUtf8(bytes);
    bool end_tag = false;  // the element just started has an end tag of its own
    for (QXmlStreamReader reader(source); !reader.atEnd();) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && end_tag)
            writer.writeCharacters(QString());
        end_tag = false;
        switch (token) {
        case QXmlStreamReader::StartDocument: writer.writeStartDocument(); break;
        case QXmlStreamReader::StartElement:
            writer.writeStartElement(reader.name().toString());
            writer.writeAttributes(reader.attributes());
            end_tag = source.at(static_cast<int>(reader.characterOffset()) - 2) != '/';
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace() || !reader.text().startsWith('\n'))  // not the writer's indent
                writer.writeCharacters(reader.text().toString());
            break;
        case QXmlStreamReader::EndElement: writer.writeEndElement(); break;
        case QXmlStreamReader::EndDocument: writer.writeEndDocument(); break;
        default: break;
        }
    }
    return out;
}

// Qt's own warnings (a corrupt zlib stream, for one) are expected while damaged files are read.
struct QUIET_QT {
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    ~QUIET_QT() { qInstallMessageHandler(previous); }
};

// ---- a session with every stored value away from its default ---------------------------------------

// "Größe", two CJK characters and a character outside the BMP, in UTF-8.
const std::string UTF8 =
    "Gr\xc3\xb6\xc3\x9f"
    "e \xe4\xbf\xa1\xe5\x8f\xb7 \xf0\x9f\x94\x8c";
const std::string XML_CHARS = "a<b & c>\"d\" 'e'";

std::shared_ptr<ROW> make_row(const std::string& name, int depth, bool group, int seed, bool all_slots)
{
    static const int uses[] = {KSM_CAPTURE_DATA, KSM_CAPTURE_TRIGGER, KSM_CAPTURE_NEITHER};
    auto r = std::make_shared<ROW>();
    r->name = name;
    r->alias = "alias of " + name + " " + UTF8;
    r->debug_port = "dbg_" + name;
    r->mnemonics_table = "states";
    r->signal_type = KSM_STYPE_REGISTERED | KSM_STYPE_MACHINE;
    r->use = uses[seed % 3];
    r->tap_mode = KSM_TAP_POST_FITTING;
    r->depth = depth;
    r->group = group;
    r->selected = true;
    r->expanded = false;
    r->data_tab_only = true;
    r->invalid = true;
    r->storage_enabled = false;
    r->transition_enabled = true;
    r->inverted = true;
    r->lsb_to_msb = true;
    r->group_display_type = KSM_GTYPE_SIGNED_2S + seed % 10;
    r->link_type = 1 + seed % 15;
    r->mark = -3 - seed;
    for (int bank = 0; bank < 2; ++bank)
        for (int slot = 0; slot < KSM_CONDITION_SLOTS; ++slot) {
            if (!all_slots && slot != (seed + bank) % KSM_CONDITION_SLOTS)
                continue;
            KSM_CONDITION& c = r->conditions[bank][slot];
            c.condition = static_cast<uint8_t>((seed + slot + 5 * bank) % KSM_CTYPE_COUNT);
            c.comparison_enabled = (slot + bank) % 2;
            c.operand[0] = static_cast<uint8_t>(KSM_CTYPE_COMPARE_GREATER_THAN + (slot + seed) % 6);
            c.operand[1] = static_cast<uint8_t>(KSM_CTYPE_COMPARE_GREATER_THAN + (slot + bank) % 6);
            c.value[0] = -1000 * slot - seed - 1;
            c.value[1] = bank ? INT_MIN + slot : INT_MAX - slot;
        }
    if (group) {
        auto p = std::make_shared<KSM_TX_PLUGIN_MNEMONICS>();
        p->plugin_name = "decoder " + UTF8;
        p->table_name = "decoder:uart";
        p->width = 4;
        p->options = {{"baud", "115200", 1, "bits per second"}, {"map", "/tmp/map file.txt", 2, XML_CHARS}};
        p->string_pairs = {{"parity", "none"}, {"multi", "line one\nline two"}};
        p->static_table_index = 0;
        p->set_symbol(0, "START");
        p->set_symbol(2, UTF8.c_str());  // level 1 keeps an empty symbol
        r->plugin = p;
    }
    return r;
}

// A group with a member and a nested group, a top-level node, then top-level nodes of ASCII
// texts: one that XML carries as it is, then one for each character it escapes; last, nodes
// with no more than a few plain values, as most lists hold.
void fill_rows(KSM_TX_SIGNAL_NODES* list, int seed)
{
    std::vector<std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>> rows = {
        make_row("bus[3..0]", 0, true, seed, true), make_row("bus[3]", 1, false, seed + 1, false),
        make_row("sub " + UTF8, 1, true, seed + 2, false), make_row("sub[0]", 2, false, seed + 3, true),
        make_row("clk_en", 0, false, seed + 4, false)};
    for (const char* alias : {"plain", "a<b", "c&d", "e\"f", "g>h", "i\tj"}) {
        rows.push_back(make_row("ascii_" + std::to_string(rows.size()), 0, false, seed + int(rows.size()), false));
        rows.back()->alias = alias;
    }
    for (int k = 0; k < 3; ++k) {
        rows.push_back(std::make_shared<ROW>());
        rows.back()->name = "top|q[" + std::to_string(k) + "]";
        rows.back()->tap_mode = k == 1 ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    }
    KSM_ACCESS::nodes(list)->rows.assign(std::move(rows));
}

void fill_samples(KSM_DATA_LOG* log, int seed)
{
    log->begin_capture(3, 130, 65);  // depth not a multiple of 64
    for (int c = 0; c < 3; ++c)
        for (int s = 0; s < 130; ++s)
            log->set_bit(c, s, (s * 7 + c * 3 + seed) % 5 < 2);
    for (int s = 0; s < 130; ++s)
        log->set_valid(s, s % 3 != 0);
    log->set_trigger_mark(40, true);
    log->set_trigger_mark(105, true);
    log->set_break_mark(65, true);
    log->set_connection_status(1, false);
    log->set_trigger_positions({40, 105});
    log->set_state_results(3 + seed, {1, 0xFFFFFFF0u}, {1, 0});
    log->end_capture();
}

KSM_DATA_LOG* add_log(KSM_DATA_SESSION* data, KSM_TX_TRIGGER* t, const std::string& name)
{
    auto log = ksm_make<KSM_DATA_LOG>(data, name.c_str());
    KSM_ACCESS::set_parent(log.get(), t);
    KSM_ACCESS::state(t)->logs.push_back(log);
    return log.get();
}

void configure_trigger(KSM_DATA_SESSION* data, KSM_TX_TRIGGER* t, int seed)
{
    t->set_expanded(true);
    ASSERT_TRUE(t->set_num_levels(4));
    ASSERT_TRUE(t->set_level_type(0, KSM_LTYPE_BASIC_OR));
    ASSERT_TRUE(t->set_level_name(0, ("first " + XML_CHARS).c_str()));
    t->set_level_enabled(0, false);
    ASSERT_TRUE(t->set_level_type(1, KSM_LTYPE_COMPARISON));
    ASSERT_TRUE(t->set_level_name(1, UTF8.c_str()));
    ASSERT_TRUE(t->set_level_type(2, KSM_LTYPE_ADVANCED));
    ASSERT_TRUE(t->set_advanced_trigger_expression(2, ("(a && b)\n|| " + UTF8 + "\ttab").c_str()));
    t->set_advanced_modified(2, true, false);
    ASSERT_TRUE(t->set_trigger_level_cond_expr_type(3, false));  // advanced, with an empty tree
    ASSERT_TRUE(t->set_advanced_trigger_expression(3, "x\r\ny"));
    auto* level_tree = dynamic_cast<TEST_BOX*>(t->get_advanced_root(2));
    ASSERT_NE(level_tree, nullptr);
    level_tree->add("type", "and")->add("text", "line 1\nline 2 " + UTF8)->add("empty", "")->add("chars", XML_CHARS);
    level_tree->add("type", "duplicate key")->add("cr", "a\rb\tc")->add("nonchar", "\xef\xbf\xbe\xef\xbf\xbf");
    TEST_BOX* inner = level_tree->box()->add("node", "bus[3]")->add("seed", std::to_string(seed));
    inner->box()->add("deep", "  spaces  ");
    inner->box();
    level_tree->box()->add("sibling", "1");

    for (int p = 0; p < KSM_NUM_PATTERNS; ++p) {
        ASSERT_TRUE(t->set_pattern_type(p, p == 0 ? KSM_LTYPE_ADVANCED : KSM_LTYPE_BASIC_OR));
        KSM_LEVEL& pattern = KSM_ACCESS::state(t)->patterns[p];
        pattern.name = "pattern " + std::to_string(p) + " " + UTF8;
        pattern.enabled = false;
        pattern.basic = false;
        pattern.expression = "p" + std::to_string(p) + "\nsecond line";
        pattern.modified = true;
    }
    auto* pattern_tree = dynamic_cast<TEST_BOX*>(t->get_storage_qualifier_root(0));
    ASSERT_NE(pattern_tree, nullptr);
    pattern_tree->add("type", "or")->box()->add("node", "clk_en");

    ASSERT_TRUE(t->set_storage_qualifier_type(KSM_SQTYPE_START_STOP));
    ASSERT_TRUE(t->set_storage_qualifier_input_port(("sq port " + UTF8).c_str(), true));
    ASSERT_TRUE(t->set_storage_qualifier_disabled(true));
    ASSERT_TRUE(t->set_record_data_discontinuities(true));
    ASSERT_TRUE(t->set_segmented(true));
    ASSERT_TRUE(t->set_segment_size(256 + seed));
    ASSERT_TRUE(t->set_trigger_position(seed % 2 ? KSM_TPOS_CONTINUOUS : KSM_TPOS_POST));

    ASSERT_TRUE(t->set_state_based(true));
    auto* flow = dynamic_cast<TEST_BOX*>(t->get_state_machine_object());
    ASSERT_NE(flow, nullptr);
    flow->add("text", "state ST1:\n  if (condition1) goto ST2;\nstate ST2:\n  trigger;\n")->add("cursor", "12");
    ASSERT_TRUE(t->set_counter_count(2));
    const int widths[] = {32, 5};
    const unsigned int initials[] = {0xFFFFFFFFu, 7};
    ASSERT_TRUE(t->set_counter(0, ("count " + UTF8).c_str(), &widths[0], &initials[0]));
    ASSERT_TRUE(t->set_counter(1, "c2 \xef\xbf\xbf", &widths[1], &initials[1]));  // XML has no U+FFFF
    ASSERT_TRUE(t->set_flag_count(2));
    const int one = 1;
    ASSERT_TRUE(t->set_flag(0, "flag <a>", &one));
    ASSERT_TRUE(t->set_configurable(RUV_RUNTIME_GOTO_DESTINATIONS, true));
    ASSERT_TRUE(t->set_configurable(RUV_RUNTIME_COMPARISON_OPERATORS, true));

    KSM_TX_TRIGGER_IN_INTERFACE* in = t->get_trigger_in();
    ASSERT_TRUE(in->set_enabled(true));
    ASSERT_TRUE(in->set_source(seed % 2 ? KSM_IOTYPE_EPS_EVENT : KSM_IOTYPE_NODE));
    ASSERT_TRUE(in->set_pin_name("pin_in"));
    ASSERT_TRUE(in->set_node_name(("top|" + UTF8 + "|q").c_str()));
    ASSERT_TRUE(in->set_node_post_fitting(true));
    ASSERT_TRUE(in->set_node_valid(false));
    ASSERT_TRUE(in->set_instance_name("core b"));
    ASSERT_TRUE(in->set_condition(KSM_CTYPE_FALLING_EDGE));
    KSM_TX_TRIGGER_OUT_INTERFACE* out = t->get_trigger_out();
    ASSERT_TRUE(out->set_enabled(true));
    for (auto kind : {KSM_IOTYPE_PIN, KSM_IOTYPE_INSTANCE, KSM_IOTYPE_EPS_TRIGGER_IN, KSM_IOTYPE_EPS_EVENT})
        ASSERT_TRUE(out->set_selected(kind, true));
    ASSERT_TRUE(out->set_pin_name("pin_out"));
    ASSERT_TRUE(out->set_instance_name(UTF8.c_str()));
    ASSERT_TRUE(out->set_eps_event_index(3));
    ASSERT_TRUE(out->set_condition(KSM_CTYPE_ACTIVE_LOW));
    t->set_trigger_out_latency(9 + seed);
    t->set_using_incremental_route(true);
    fill_rows(t, seed + 10);

    KSM_DATA_LOG* sampled = add_log(data, t, "log " + UTF8);
    sampled->set_expanded(true);
    sampled->set_flags(true, true, true);
    fill_samples(sampled, seed);
    KSM_DATA_MNEMONICS_TABLE* uart = sampled->create_static_plugin_mnemonics_table(4, "decoder:uart");
    ASSERT_TRUE(uart->add_entry("START", "0001"));
    ASSERT_TRUE(uart->add_entry(UTF8.c_str(), "1110"));
    ASSERT_TRUE(uart->add_entry("ALSO START", "0001"));
    sampled->create_static_plugin_mnemonics_table(2, "decoder:empty");
    add_log(data, t, "log without samples");
    KSM_ACCESS::state(t)->active_log = 1;
}

void configure_signal_set(KSM_DATA_SESSION* data, KSM_TX_SIGNAL_SET* set, int seed, int triggers)
{
    set->set_expanded(true);
    ASSERT_TRUE(set->set_clock(("clk " + UTF8).c_str(), true));
    set->set_clock_invalid(true);
    ASSERT_TRUE(set->set_sample_depth(2048));
    ASSERT_TRUE(set->set_pipeline_level(3));
    ASSERT_TRUE(set->set_ram_type(KSM_RAM_LARGE));
    ASSERT_TRUE(set->set_data_nodes_allocated(12 + seed));
    ASSERT_TRUE(set->set_trigger_nodes_allocated(13));
    ASSERT_TRUE(set->set_storage_qualifier_nodes_allocated(14));
    ASSERT_TRUE(set->set_corvix_data_nodes_allocated(15));
    ASSERT_TRUE(set->set_corvix_trigger_nodes_allocated(4096));
    set->set_assignment_text(("set_assignment -name A\nset_assignment -name " + XML_CHARS).c_str());
    set->set_top_entity_name(("top " + UTF8).c_str());
    fill_rows(set, seed);
    while (set->get_num_triggers() < triggers)
        set->create_trigger(nullptr);
    for (int i = 0; i < triggers; ++i)
        configure_trigger(data, set->get_trigger(i), seed + i);
    KSM_ACCESS::state(set)->active_trigger = triggers - 1;
}

// Instance 0 and 1 have every value set (1 with a power-up entry); instance 2 keeps defaults.
void build_rich_session(KSM_TX_SESSION& tx, const QString& dir)
{
    ASSERT_TRUE(tx.create_session(local(dir + "/new.lmx").c_str()));
    KSM_DATA_SESSION* data = tx.get_data_session();
    tx.set_gui_logging(true);
    tx.set_second_generation(true);
    tx.set_stripped_version(true, ("/projects/original " + UTF8 + ".lmx").c_str());
    ASSERT_TRUE(tx.set_jtag_chain_name("cable 0 [bus 1-1.4]"));
    ASSERT_TRUE(tx.set_jtag_device_name(("@1: device " + XML_CHARS).c_str()));
    tx.set_sif_file_name(("output/top " + UTF8 + ".sif").c_str());
    ASSERT_TRUE(tx.set_global_data("zoom", 42));
    const int columns[] = {10, -20, INT_MAX, INT_MIN, 0};
    ASSERT_TRUE(tx.set_global_data(("columns " + UTF8).c_str(), columns, 5));
    ASSERT_TRUE(tx.set_global_data("no values", nullptr, 0));

    QByteArray every_byte;
    for (int i = 0; i < 512; ++i)
        every_byte.append(static_cast<char>(i * 7));
    std::mt19937 rng(7);
    QByteArray noise(3000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    const std::pair<const char*, QByteArray> sifs[] = {
        {"every byte.sif", every_byte}, {"", QByteArray()}, {nullptr, noise}};
    for (int i = 0; i < 3; ++i) {
        const QString path = dir + "/embedded" + QString::number(i) + ".sif";
        write_bytes(path, sifs[i].second);
        ASSERT_TRUE(tx.embed_sif_file(local(path).c_str(), sifs[i].first));
        ASSERT_TRUE(tx.set_embedded_sif_inst_id_crc_at(i, ("inst " + std::to_string(i) + "\ncrc " + UTF8).c_str()));
    }

    KSM_DATA_MNEMONICS* mnemonics = data->get_mnemonics();
    KSM_DATA_MNEMONICS_TABLE* states = mnemonics->create_table("states", 3);
    ASSERT_NE(states, nullptr);
    ASSERT_TRUE(states->add_entry("IDLE", "000"));
    ASSERT_TRUE(states->add_entry("RUN", "001"));
    ASSERT_TRUE(states->add_entry("GO", "001"));  // a second symbol of a value
    ASSERT_TRUE(states->add_entry(XML_CHARS.c_str(), "111"));
    ASSERT_TRUE(mnemonics->create_table(UTF8.c_str(), 1)->add_entry("on", "1"));
    ASSERT_NE(mnemonics->create_table("no entries", 8), nullptr);

    ASSERT_TRUE(data->get_instance(0)->set_name(("core " + UTF8).c_str()));
    ASSERT_NE(data->create_lumetra_instance("core b"), nullptr);
    ASSERT_NE(data->create_lumetra_instance(nullptr), nullptr);
    ASSERT_TRUE(tx.set_power_up_trigger_mode(1, true));
    for (int i = 0; i < 2; ++i) {
        KSM_TX_INSTANCE* instance = data->get_instance(i);
        instance->set_enabled(false);
        instance->set_expanded(true);
        instance->set_node_info({static_cast<uint8_t>(7 + i), 0xFFFFFFFFu - i, 2, 2});
        KSM_ACCESS::state(instance)->version_defined = false;
        instance->set_incremental_route_available(true);
        instance->set_compiled_checksums(0xDEADBEEFu, 0x80000001u + i);
        ASSERT_TRUE(instance->set_position_data("splitter", 250 + i));
        const int widths[] = {INT_MIN, -1, 0, 1, INT_MAX};
        ASSERT_TRUE(instance->set_position_data(("widths " + UTF8).c_str(), widths, 5));
        ASSERT_NE(instance->create_signal_set(("history " + UTF8).c_str()), nullptr);
        for (int s = 0; s < 2; ++s)
            configure_signal_set(data, instance->get_signal_set(s), 10 * i + s, 2 - s);
        KSM_ACCESS::state(instance)->active_signal_set = 1;
    }
}

// ---- comparison --------------------------------------------------------------------------------------

// One field of the states `x` and `y`.
#define SAME(field) EXPECT_EQ(x.field, y.field) << #field

void expect_same_table(const KSM_DATA_MNEMONICS_TABLE* a, const KSM_DATA_MNEMONICS_TABLE* b)
{
    const auto& x = *KSM_ACCESS::state(a);
    const auto& y = *KSM_ACCESS::state(b);
    SAME(name);
    SAME(width);
    SAME(entries);
}

void expect_same_rows(const KSM_TX_SIGNAL_NODES* a, const KSM_TX_SIGNAL_NODES* b)
{
    const auto& x = KSM_ACCESS::nodes(a)->rows;
    const auto& y = KSM_ACCESS::nodes(b)->rows;
    ASSERT_EQ(x.size(), y.size());
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_TRUE(*x[i] == *y[i]) << "row " << i << " \"" << x[i]->name << "\"";
}

void expect_same_level(const KSM_LEVEL& x, const KSM_LEVEL& y)
{
    SAME(type);
    SAME(name);
    SAME(enabled);
    SAME(basic);
    SAME(expression);
    SAME(modified);
    EXPECT_EQ(tree_text(x.tree ? x.tree->object : nullptr), tree_text(y.tree ? y.tree->object : nullptr));
}

void expect_same_log(const KSM_DATA_LOG* a, const KSM_DATA_LOG* b)
{
    {
        const auto& x = *KSM_ACCESS::state(a);
        const auto& y = *KSM_ACCESS::state(b);
        SCOPED_TRACE("log " + x.name);
        SAME(name);
        SAME(expanded);
        SAME(power_up);
        SAME(global_temp);
        SAME(gui_update_skipped);
        SAME(static_table_keys);
        ASSERT_EQ(x.static_tables.size(), y.static_tables.size());
        for (size_t i = 0; i < x.static_tables.size(); ++i)
            expect_same_table(x.static_tables[i].get(), y.static_tables[i].get());
    }
    ASSERT_EQ(KSM_ACCESS::samples(a) == nullptr, KSM_ACCESS::samples(b) == nullptr);
    if (!KSM_ACCESS::samples(a))
        return;
    const auto& x = *KSM_ACCESS::samples(a);
    const auto& y = *KSM_ACCESS::samples(b);
    SAME(channels);
    SAME(depth);
    SAME(segment_size);
    SAME(words);
    SAME(bits);
    SAME(valid);
    SAME(trigger);
    SAME(breaks);
    SAME(connected);
    SAME(trigger_positions);
    SAME(state_value);
    SAME(counters);
    SAME(flags);
}

void expect_same_trigger(KSM_TX_TRIGGER* a, KSM_TX_TRIGGER* b)
{
    const auto& x = *KSM_ACCESS::state(a);
    const auto& y = *KSM_ACCESS::state(b);
    SCOPED_TRACE("trigger " + x.name);
    SAME(name);
    SAME(expanded);
    SAME(sq_type);
    SAME(sq_port);
    SAME(sq_port_post_fitting);
    SAME(sq_port_mark);
    SAME(sq_disabled);
    SAME(gap_record);
    SAME(segmented);
    SAME(segment_size);
    SAME(position);
    SAME(state_based);
    SAME(runtime_options);
    SAME(trigger_out_latency);
    SAME(incremental_route);
    SAME(active_log);
    EXPECT_TRUE(x.counters == y.counters);
    EXPECT_TRUE(x.flags == y.flags);
    EXPECT_TRUE(x.trigger_in == y.trigger_in);
    EXPECT_TRUE(x.trigger_out == y.trigger_out);
    ASSERT_EQ(x.levels.size(), y.levels.size());
    for (size_t i = 0; i < x.levels.size(); ++i)
        expect_same_level(x.levels[i], y.levels[i]);
    for (int i = 0; i < KSM_NUM_PATTERNS; ++i)
        expect_same_level(x.patterns[i], y.patterns[i]);
    EXPECT_EQ(tree_text(KSM_ACCESS::state_machine(a)), tree_text(KSM_ACCESS::state_machine(b)));
    expect_same_rows(a, b);
    ASSERT_EQ(x.logs.size(), y.logs.size());
    for (size_t i = 0; i < x.logs.size(); ++i) {
        expect_same_log(x.logs[i].get(), y.logs[i].get());
        EXPECT_EQ(y.logs[i]->get_trigger(), b);
    }
}

void expect_same_signal_set(const KSM_TX_SIGNAL_SET* a, const KSM_TX_SIGNAL_SET* b)
{
    const auto& x = *KSM_ACCESS::state(a);
    const auto& y = *KSM_ACCESS::state(b);
    SCOPED_TRACE("signal set " + x.name);
    SAME(name);
    SAME(expanded);
    SAME(clock_name);
    SAME(clock_post_fitting);
    SAME(clock_invalid);
    SAME(sample_depth);
    SAME(pipeline_level);
    SAME(ram_type);
    SAME(data_allocated);
    SAME(trigger_allocated);
    SAME(sq_allocated);
    SAME(corvix_data_allocated);
    SAME(corvix_trigger_allocated);
    SAME(assignment_text);
    SAME(top_entity);
    SAME(active_trigger);
    expect_same_rows(a, b);
    ASSERT_EQ(x.triggers.size(), y.triggers.size());
    for (size_t i = 0; i < x.triggers.size(); ++i) {
        expect_same_trigger(x.triggers[i].get(), y.triggers[i].get());
        EXPECT_EQ(y.triggers[i]->get_signal_set(), b);
    }
}

void expect_same_instance(const KSM_TX_INSTANCE* a, const KSM_TX_INSTANCE* b)
{
    const auto& x = *KSM_ACCESS::state(a);
    const auto& y = *KSM_ACCESS::state(b);
    SCOPED_TRACE("instance " + x.name);
    SAME(name);
    SAME(enabled);
    SAME(expanded);
    SAME(power_up_entry);
    SAME(info.first);
    SAME(info.second);
    SAME(info.third);
    SAME(info.version);
    SAME(version_defined);
    SAME(incremental_route_available);
    SAME(position_data);
    SAME(compiled_checksum);
    SAME(compiled_routing_checksum);
    SAME(active_signal_set);
    ASSERT_EQ(x.signal_sets.size(), y.signal_sets.size());
    for (size_t i = 0; i < x.signal_sets.size(); ++i) {
        expect_same_signal_set(x.signal_sets[i].get(), y.signal_sets[i].get());
        EXPECT_EQ(y.signal_sets[i]->get_instance(), b);
    }
}

void expect_same_session(KSM_DATA_SESSION* a, KSM_DATA_SESSION* b)
{
    const auto& x = *KSM_ACCESS::state(a);
    const auto& y = *KSM_ACCESS::state(b);
    SAME(gui_logging);
    SAME(second_generation);
    SAME(stripped);
    SAME(stripped_original_name);
    SAME(jtag_chain);
    SAME(jtag_device);
    SAME(sif_file_name);
    SAME(next_instance_number);
    SAME(global_data);
    ASSERT_EQ(x.embedded_sifs.size(), y.embedded_sifs.size());
    for (size_t i = 0; i < x.embedded_sifs.size(); ++i) {
        SAME(embedded_sifs[i].name);
        SAME(embedded_sifs[i].info);
        SAME(embedded_sifs[i].bytes->size());
        EXPECT_TRUE(*x.embedded_sifs[i].bytes == *y.embedded_sifs[i].bytes);
    }
    const auto& tables_x = KSM_ACCESS::state(a->get_mnemonics())->tables;
    const auto& tables_y = KSM_ACCESS::state(b->get_mnemonics())->tables;
    ASSERT_EQ(tables_x.size(), tables_y.size());
    for (size_t i = 0; i < tables_x.size(); ++i)
        expect_same_table(tables_x[i].get(), tables_y[i].get());
    ASSERT_EQ(x.instances.size(), y.instances.size());
    for (size_t i = 0; i < x.instances.size(); ++i)
        expect_same_instance(x.instances[i].get(), y.instances[i].get());
}

#undef SAME

// ---- round trip -----------------------------------------------------------------------------------------

TEST(repository_file, RoundTripKeepsEveryValueAndASecondSaveIsByteIdentical)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    KSM_TX_SESSION original(new TEST_ROOT, false);
    ASSERT_NO_FATAL_FAILURE(build_rich_session(original, dir.path()));
    const QString first = dir.filePath("first.lmx");
    ASSERT_TRUE(original.save_session(local(first).c_str())) << original.get_last_error();
    EXPECT_FALSE(original.is_modified());

    // The writer leaves defaults out, so every attribute it knows appearing shows that the
    // session above sets every value away from its default.
    const QByteArray bytes = read_bytes(first);
    for (const char* name : {"gui-logging",
                             "second-generation",
                             "stripped",
                             "stripped-original-name",
                             "jtag-chain",
                             "jtag-device",
                             "sif-file",
                             "next-instance",
                             "enabled",
                             "expanded",
                             "power-up",
                             "info-first",
                             "info-second",
                             "info-third",
                             "version-defined",
                             "incremental-route",
                             "compiled-checksum",
                             "compiled-routing-checksum",
                             "active-signal-set",
                             "clock",
                             "clock-post-fitting",
                             "clock-invalid",
                             "sample-depth",
                             "pipeline",
                             "ram-type",
                             "data-allocated",
                             "trigger-allocated",
                             "sq-allocated",
                             "corvix-data-allocated",
                             "corvix-trigger-allocated",
                             "assignment-b64",
                             "top-entity",
                             "active-trigger",
                             "sq-type",
                             "sq-port",
                             "sq-port-post-fitting",
                             "sq-port-mark",
                             "sq-disabled",
                             "gap-record",
                             "segmented",
                             "segment-size",
                             "position",
                             "state-based",
                             "runtime-options",
                             "trigger-out-latency",
                             "active-log",
                             "type",
                             "basic",
                             "modified",
                             "kind",
                             "width",
                             "initial",
                             "source",
                             "pin",
                             "node",
                             "node-post-fitting",
                             "node-valid",
                             "instance",
                             "condition",
                             "selected",
                             "eps-event",
                             "alias",
                             "debug-port",
                             "mnemonics",
                             "signal-type",
                             "use",
                             "tap-mode",
                             "depth",
                             "group",
                             "data-tab-only",
                             "invalid",
                             "storage",
                             "transition",
                             "inverted",
                             "lsb-to-msb",
                             "group-display",
                             "link",
                             "mark",
                             "comparison",
                             "operand1",
                             "operand2",
                             "value1",
                             "value2",
                             "static-table",
                             "setting",
                             "description",
                             "first",
                             "second-b64",
                             "global-temp",
                             "gui-update-skipped",
                             "state-value",
                             "trigger-positions",
                             "disconnected",
                             "counters",
                             "flags",
                             "info-b64",
                             "encoding"})
        EXPECT_TRUE(bytes.contains(QByteArray(" ") + name + "=\"")) << name << " is never written";

    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    ASSERT_TRUE(reopened.open_session(local(first).c_str())) << reopened.get_last_error();
    EXPECT_FALSE(reopened.is_newer_file_format());
    EXPECT_FALSE(reopened.is_modified());
    expect_same_session(original.get_data_session(), reopened.get_data_session());

    // The fresh root made one trigger object per advanced tree and one state machine per trigger.
    int trees = 0;
    int machines = 0;
    auto* root = static_cast<TEST_ROOT*>(reopened.get_root_object());
    for (int i = 0; i < root->get_child_count(); ++i)
        (dynamic_cast<TEST_STATE_MACHINE*>(root->get_child_object(i)) ? machines : trees)++;
    EXPECT_EQ(trees, 3 * 6);
    EXPECT_EQ(machines, 6);
    EXPECT_EQ(reopened.get_num_instances(), 4);  // three instances and a power-up entry
    EXPECT_TRUE(reopened.is_power_up_trigger(1));

    const QString second = dir.filePath("second.lmx");
    ASSERT_TRUE(reopened.save_session(local(second).c_str())) << reopened.get_last_error();
    EXPECT_EQ(first_difference(read_bytes(second), bytes), -1);
    // Rows and plane tags the save writes as bytes are as the XML writer writes the rest.
    EXPECT_EQ(first_difference(as_xml_writer_writes(bytes), bytes), -1);

    // Closing lets the level trees go back to the root, which keeps its state machines.
    reopened.close_session();
    EXPECT_EQ(root->get_child_count(), machines);

    // Read by the repository before any tree root was there, the diagrams and flows are kept
    // until a root's objects show them, and through a save. The objects go with their root; the
    // next root shows the trees again, also one that only an undo step holds.
    auto state_machines = [](const QByteArray& file) {
        QByteArrayList found;
        for (int at = file.indexOf("<state-machine>"); at >= 0; at = file.indexOf("<state-machine>", at + 1))
            found << file.mid(at, file.indexOf("</state-machine>", at) - at);
        return found;
    };
    ASSERT_EQ(state_machines(bytes).size(), 6);
    const QString third = dir.filePath("third.lmx");
    ASSERT_TRUE(QFile::copy(first, third));
    KSM_DATA_MANAGER* repository = KSM_DATA_MANAGER::get_data_repository_manager();
    ASSERT_NE(repository->open_session(local(third).c_str()), nullptr);
    std::string drawn;
    for (int attach = 0; attach < 2; ++attach) {
        KSM_TX_SESSION attached(new TEST_ROOT, false);
        ASSERT_TRUE(attached.open_session(local(third).c_str())) << attached.get_last_error();
        ASSERT_TRUE(attached.save_session(local(third).c_str())) << attached.get_last_error();
        EXPECT_EQ(first_difference(read_bytes(third), bytes), -1) << "attach " << attach;
        EXPECT_EQ(state_machines(read_bytes(third)), state_machines(bytes));
        KSM_TX_TRIGGER* trigger = attached.get_trigger_at(0);
        EXPECT_EQ(tree_text(trigger->get_state_machine_object()),
                  tree_text(original.get_trigger_at(0)->get_state_machine_object()));
        KSM_TX_INSTANCE* instance = attached.get_instance_at(0);
        const int added = trigger->get_num_levels();
        if (attach == 0) {
            instance->begin_action();
            ASSERT_TRUE(trigger->append_new_level());
            ASSERT_TRUE(trigger->set_level_type(added, KSM_LTYPE_ADVANCED));
            static_cast<TEST_BOX*>(trigger->get_advanced_root(added))->box()->add("drawn", "before the detach");
            drawn = tree_text(trigger->get_advanced_root(added));
            instance->end_action();
            ASSERT_TRUE(instance->undo());
        } else {
            ASSERT_TRUE(instance->redo());
            EXPECT_EQ(tree_text(trigger->get_advanced_root(added)), drawn);
        }
    }
    repository->close_session(local(third).c_str());
}

// Captures of every shape, down to none at all, read back as they were.
TEST(repository_file, CapturesOfEveryShapeReadBack)
{
    const struct {
        int channels, depth, segment_size;
    } shapes[] = {{2, 0, 0}, {0, 0, 0}, {0, 10, 0}, {1, 64, 64}, {5, 65, 13}, {70, 1, 0}};
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    for (const auto& shape : shapes) {
        KSM_DATA_LOG* log = tx.create_new_log(0);
        ASSERT_NE(log, nullptr);
        log->begin_capture(shape.channels, shape.depth, shape.segment_size);
        for (int c = 0; c < shape.channels; ++c)
            log->set_bit(c, shape.depth - 1, true);
        log->set_valid(0, true);
        log->end_capture();
    }
    const QString path = dir.filePath("shapes.lmx");
    ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    ASSERT_TRUE(reopened.open_session(local(path).c_str())) << reopened.get_last_error();
    KSM_TX_TRIGGER* a = tx.get_trigger_at(0);
    KSM_TX_TRIGGER* b = reopened.get_trigger_at(0);
    ASSERT_EQ(b->get_num_logs(), a->get_num_logs());
    for (int i = 0; i < a->get_num_logs(); ++i)
        expect_same_log(a->get_log(i), b->get_log(i));
}

// Planes' zlib streams: at every length (bytes of all ones sum the most between the checksum's
// reductions) they read back with zlib's uncompress() and with qUncompress(), and end with the
// bytes' Adler-32 checksum; zlib's streams at any level inflate; an inflate refuses a stream that
// is damaged, cut short or of another size.
TEST(repository_file, PlaneStreamsAreZlibStreams)
{
    std::mt19937_64 rng(5);
    std::vector<unsigned char> random(70000), ones(70000, 0xff), out(70001);
    for (unsigned char& c : random)
        c = static_cast<unsigned char>(rng());
    auto adler = [](const unsigned char* data, size_t size) {
        uint32_t a = 1, b = 0;
        for (size_t i = 0; i < size; ++i)
            a = (a + data[i]) % 65521, b = (b + a) % 65521;
        return b << 16 | a;
    };
    QByteArray stream;  // reused, as a saving thread does
    for (const auto* data : {&random, &ones})
        for (const int size : {1, 31, 32, 33, 4095, 4096, 4097, 5553, 70000}) {
            const QByteArray bytes(reinterpret_cast<const char*>(data->data()), size);
            ksm_compress(data->data(), static_cast<size_t>(size), 1, &stream);
            EXPECT_EQ(qUncompress(stream), bytes) << size;
            uLongf length = static_cast<uLongf>(out.size());
            EXPECT_EQ(uncompress(out.data(), &length, reinterpret_cast<const Bytef*>(stream.constData()) + 4,
                                 static_cast<uLong>(stream.size() - 4)),
                      Z_OK);
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.data()), static_cast<int>(length)), bytes) << size;
            EXPECT_EQ(qFromBigEndian<quint32>(stream.constData() + stream.size() - 4), adler(data->data(), size));
            for (const int level : {0, 1, 6, 9}) {
                const QByteArray zlib = qCompress(bytes, level);
                EXPECT_TRUE(ksm_uncompress(reinterpret_cast<const unsigned char*>(zlib.constData()) + 4,
                                           static_cast<size_t>(zlib.size()) - 4, out.data(),
                                           static_cast<size_t>(size)) &&
                            std::equal(data->begin(), data->begin() + size, out.begin()))
                    << size << " " << level;
            }
        }
    ksm_compress(random.data(), 0, 1, &stream);
    EXPECT_EQ(stream, qCompress(QByteArray(), 1));  // nothing compressed is its size alone
    ksm_compress(random.data(), 65536, 1, &stream);
    const auto* bytes = reinterpret_cast<const unsigned char*>(stream.constData()) + 4;  // past the size
    const size_t length = static_cast<size_t>(stream.size()) - 4;
    EXPECT_TRUE(ksm_uncompress(bytes, length, out.data(), 65536));
    EXPECT_TRUE(std::equal(random.begin(), random.begin() + 65536, out.begin()));
    for (const size_t at : {size_t(0), size_t(1), length / 2, length - 1}) {  // header, data, checksum
        QByteArray damaged = stream;
        damaged[static_cast<int>(4 + at)] = static_cast<char>(damaged[static_cast<int>(4 + at)] ^ 0x10);
        EXPECT_FALSE(
            ksm_uncompress(reinterpret_cast<const unsigned char*>(damaged.constData()) + 4, length, out.data(), 65536))
            << at;
    }
    EXPECT_FALSE(ksm_uncompress(bytes, length - 1, out.data(), 65536));
    EXPECT_FALSE(ksm_uncompress(bytes, length, out.data(), 65535));
    EXPECT_FALSE(ksm_uncompress(bytes, length, out.data(), 65537));
}

// A thread's kept compressor serves only the level it was made for: calls at levels in turn, on
// threads that run at once and on threads that take the coders ended threads left, each give
// that level's own stream.
TEST(repository_file, CompressionLevelsInTurnEachGiveTheirOwnStream)
{
    std::mt19937 rng(7);
    std::vector<unsigned char> data(1 << 16);
    for (unsigned char& c : data)  // runs of a few letters: each level finds other matches
        c = static_cast<unsigned char>('a' + rng() % 4);
    const int levels[] = {1, 12, 6, 0};
    constexpr int THREADS = 4, WAVES = 2, N = sizeof levels / sizeof *levels;
    QByteArray streams[WAVES * THREADS][N];
    for (int wave = 0; wave < WAVES; ++wave) {
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t)
            threads.emplace_back([&, t, wave] {
                for (int k = 0; k < N; ++k)  // each thread starts at another level
                    ksm_compress(data.data(), data.size(), levels[(t + k) % N], &streams[wave * THREADS + t][k]);
            });
        for (std::thread& thread : threads)
            thread.join();
    }
    // The first stream of each level is that level's; levels differ in their streams.
    std::map<int, QByteArray> first;
    std::vector<unsigned char> out(data.size());
    for (int a = 0; a < WAVES * THREADS; ++a)
        for (int k = 0; k < N; ++k) {
            const int level = levels[(a % THREADS + k) % N];
            const QByteArray& stream = streams[a][k];
            EXPECT_TRUE(stream == first.emplace(level, stream).first->second) << "thread " << a << ", level " << level;
            EXPECT_TRUE(ksm_uncompress(reinterpret_cast<const unsigned char*>(stream.constData()) + 4,
                                       static_cast<size_t>(stream.size()) - 4, out.data(), out.size()) &&
                        out == data);
        }
    for (auto a = first.begin(); a != first.end(); ++a)
        for (auto b = std::next(a); b != first.end(); ++b)
            EXPECT_TRUE(a->second != b->second) << "levels " << a->first << " and " << b->first;
}

// The session file's text with each plane's payload taken through `redo` (the bytes the payload
// holds, decoded from base64, to its new bytes).
QByteArray with_planes(QByteArray text, const std::function<QByteArray(const QByteArray&)>& redo)
{
    for (int at = 0; (at = text.indexOf("<plane ", at)) >= 0;) {
        const int begin = text.indexOf('>', at) + 1, end = text.indexOf("</plane>", begin);
        const QByteArray payload = redo(QByteArray::fromBase64(text.mid(begin, end - begin))).toBase64();
        text.replace(begin, end - begin, payload);
        at = begin + payload.size();
    }
    return text;
}

// A saved capture gives the same bytes when saved again, and its reopened session saves them
// too; every plane reads back with zlib's uncompress() and with qUncompress(), and the file with
// each plane recompressed by zlib (as earlier builds and Qt wrote them) opens to the same logs.
// Plane texts decode as Qt decodes base64, at lengths on and around the steps the decoder takes;
// a character outside the alphabet anywhere, or a '=' before the end, refuses the text.
TEST(repository_file, PlaneTextsDecodeAsQtDoesAndRefuseOtherCharacters)
{
    QByteArray bytes;  // every byte value, twice
    for (int b = 0; b < 512; ++b)
        bytes += static_cast<char>(b * 7);
    for (const int size : {0, 1, 2, 3, 12, 13, 17, 18, 30, 60, 61, 62, 63, 96, 511, 512}) {
        const QByteArray data = bytes.left(size), text = data.toBase64();
        QByteArray out;
        EXPECT_TRUE(KSM_BASE64_DECODER::decode(text, &out) && out == data) << size;
    }
    const QByteArray text = bytes.left(96).toBase64();  // 128 characters, no padding
    const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string accepted;
    for (int at = 0; at < text.size(); ++at) {
        for (int c = 0; c < 256; ++c) {
            if (alphabet.contains(static_cast<char>(c)) || (c == '=' && at == text.size() - 1))
                continue;
            QByteArray damaged = text, out;
            damaged[at] = static_cast<char>(c);
            if (KSM_BASE64_DECODER::decode(damaged, &out))
                accepted += " " + std::to_string(c) + " at " + std::to_string(at);
        }
    }
    EXPECT_EQ(accepted, "");
}

TEST(repository_file, SavedCapturesKeepTheirBytes)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    KSM_TX_SIGNAL_SET* set = tx.get_signal_set_at(0);
    for (int c = 0; c < 70; ++c)
        set->insert_node(("n" + std::to_string(c)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, true);
    set->set_sample_depth(65536);
    std::mt19937_64 rng(3);
    for (const int depth : {5000, 65536}) {
        KSM_DATA_LOG* log = tx.create_new_log(0);
        log->begin_capture(70, depth, 0);
        std::vector<uint64_t> words((depth + 63) / 64);
        for (int c = 0; c < 70; ++c) {
            for (uint64_t& w : words)
                w = c % 3 ? rng() : (c % 2 ? rng() & rng() & rng() : 0);
            log->set_channel_words(c, words.data(), words.size());
        }
        for (int s = 0; s < depth; s += 3)
            log->set_valid(s, true);
        log->set_trigger_mark(depth / 2, true);
        log->set_break_mark(depth / 4, true);
        log->set_trigger_positions({depth / 2});
        log->set_connection_status(5, false);
        log->end_capture();
    }
    const QString path = dir.filePath("captures.lmx"), again = dir.filePath("again.lmx");
    ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    const QByteArray bytes = read_bytes(path);
    ASSERT_TRUE(tx.save_session(local(again).c_str())) << tx.get_last_error();
    EXPECT_EQ(read_bytes(again), bytes);
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    ASSERT_TRUE(reopened.open_session(local(path).c_str())) << reopened.get_last_error();
    ASSERT_TRUE(reopened.save_session(local(again).c_str())) << reopened.get_last_error();
    EXPECT_EQ(read_bytes(again), bytes);

    int planes = 0;
    const QByteArray by_zlib = with_planes(bytes, [&](const QByteArray& payload) {
        const QByteArray inflated = qUncompress(payload);
        std::vector<Bytef> out(static_cast<size_t>(inflated.size()) + 1);
        uLongf size = static_cast<uLongf>(out.size());
        EXPECT_EQ(uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(payload.constData()) + 4,
                             static_cast<uLong>(payload.size() - 4)),
                  Z_OK);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.data()), static_cast<int>(size)), inflated);
        return qCompress(inflated, ++planes % 10);  // zlib's levels 1 to 9 and 0 in turn
    });
    EXPECT_EQ(planes, 2 * 73);
    write_bytes(dir.filePath("zlib.lmx"), by_zlib);
    KSM_TX_SESSION by_qt(new TEST_ROOT, false);
    ASSERT_TRUE(by_qt.open_session(local(dir.filePath("zlib.lmx")).c_str())) << by_qt.get_last_error();
    for (int i = 0; i < 2; ++i)
        expect_same_log(tx.get_trigger_at(0)->get_log(i), by_qt.get_trigger_at(0)->get_log(i));
}

// Saves a session whose log of 64 channels by 1 M samples is large enough for several threads
// to read and write its planes; each channel's plane differs.
void save_wide_log(const QString& path)
{
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(path).c_str()));
    tx.get_signal_set_at(0)->set_sample_depth(1 << 20);
    KSM_DATA_LOG* log = tx.create_new_log(0);
    log->begin_capture(64, 1 << 20, 0);
    std::vector<uint64_t> words(1 << 14);
    for (int c = 0; c < 64; ++c) {
        words[c * 100] = ~uint64_t(0) >> c;
        log->set_channel_words(c, words.data(), words.size());
    }
    log->end_capture();
    ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
}

// Runs `work` on the calling thread held to one CPU, so that it starts no other threads.
template <class WORK> void on_one_cpu(WORK work)
{
    cpu_set_t saved, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    work();
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
}

// What ran beside the calling thread during `work`: the most threads at once besides the ones
// the process had before (sampled from /proc/self/status, so a lower bound), and the CPU time in
// ms those other threads took (which no sampling misses). The sampler reads a file it opened
// before the work: one it opened and closed meanwhile could take the number of a file the work
// closed, which the thread sanitizer would report as a race on that file.
struct HELPERS {
    size_t peak = 0;
    double cpu_ms = 0;
};
double cpu_ms(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}
template <class WORK> HELPERS helpers_of(WORK work)
{
    const int status = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    const auto count = [status] {
        char text[4096];
        const ssize_t n = ::pread(status, text, sizeof(text) - 1, 0);
        text[std::max<ssize_t>(n, 0)] = '\0';
        const char* threads = std::strstr(text, "\nThreads:");
        return threads ? size_t(std::strtoul(threads + 9, nullptr, 10)) : size_t(0);
    };
    // The threads before the work are counted once the sampler runs, so that a thread the runtime
    // starts with the first thread made (the thread sanitizer's own) is not taken for a helper.
    std::atomic<size_t> before{0}, peak{0};
    std::atomic<bool> done{false};
    std::atomic<double> sampling_ms{0};
    const double process = cpu_ms(RUSAGE_SELF), caller = cpu_ms(RUSAGE_THREAD);
    std::thread sampler([&] {
        peak = count();
        before = peak.load();
        while (!done) {
            peak = std::max(peak.load(), count());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        sampling_ms = cpu_ms(RUSAGE_THREAD);
    });
    while (before == 0)
        std::this_thread::yield();
    work();
    done = true;
    sampler.join();
    ::close(status);
    return {peak - before, cpu_ms(RUSAGE_SELF) - process - (cpu_ms(RUSAGE_THREAD) - caller) - sampling_ms};
}

// A log's planes, encoded and decoded by several threads, are written in their order as one
// thread writes them, and read back so: saved again without being inflated, they keep their bytes.
// A save runs more than one thread; a save and an open run fewer helpers than the process's
// usable CPUs; held to one CPU, a save runs on the calling thread alone.
TEST(repository_file, PlanesOfSeveralThreadsKeepTheirOrder)
{
    QTemporaryDir dir;
    const QString threads = dir.filePath("threads.lmx"), one = dir.filePath("one.lmx");
    const size_t cpus = ksm_usable_cpus();
    const HELPERS saving = helpers_of([&] { ASSERT_NO_FATAL_FAILURE(save_wide_log(threads)); });
    on_one_cpu([&] { EXPECT_EQ(helpers_of([&] { save_wide_log(one); }).peak, 0u); });
    const QByteArray bytes = read_bytes(threads);
    EXPECT_EQ(first_difference(bytes, read_bytes(one)), -1);
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    const HELPERS opening =
        helpers_of([&] { ASSERT_TRUE(reopened.open_session(local(threads).c_str())) << reopened.get_last_error(); });
    // The save's helpers compress megabytes: their time stands out from the sampler's own.
    EXPECT_TRUE(cpus == 1 || saving.cpu_ms > 1) << "no helper thread saved, " << cpus << " CPUs";
    for (const HELPERS& helpers : {saving, opening})
        EXPECT_LT(helpers.peak, cpus);
    const QString again = dir.filePath("again.lmx");
    ASSERT_TRUE(reopened.save_session(local(again).c_str())) << reopened.get_last_error();
    EXPECT_EQ(first_difference(read_bytes(again), bytes), -1);
}

// A plane whose text stops being base64 past its first characters is refused at that plane, as
// one damaged from its start is, though other threads decode it, and before a fault after it.
TEST(repository_file, PlanesDamagedPastTheirStartAreRefusedAtThePlane)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("damaged.lmx");
    ASSERT_NO_FATAL_FAILURE(save_wide_log(path));
    const QByteArray bytes = read_bytes(path), tag = "<plane kind=\"bits\" channel=\"40\">";
    const int text = bytes.indexOf(tag) + tag.size(), end = bytes.indexOf('<', text);
    ASSERT_GT(end - text, 16);
    auto error_of = [&](QByteArray damaged, int at) {
        damaged[at] = '!';
        write_bytes(path, damaged);
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        EXPECT_FALSE(tx.open_session(local(path).c_str()));
        return tx.get_last_error();
    };
    const std::string expected = error_of(bytes, text);
    EXPECT_NE(expected.find(" at line "), std::string::npos) << expected;
    EXPECT_NE(expected.find("a payload does not decode"), std::string::npos) << expected;
    EXPECT_EQ(error_of(bytes, end - 4), expected);
    QByteArray later_fault = bytes;
    later_fault.replace("<plane kind=\"bits\" channel=\"50\"", "<plane kind=\"other\"");
    EXPECT_EQ(error_of(later_fault, end - 4), expected);
}

// The peak size of the process since the last reset_peak(), in MB.
double peak_mb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Logs keep their compressed planes when a session opens and are inflated when first read: a
// few megabytes of four logs of 4,096 channels by 1 M samples (zeros) open without inflating
// any, and reading one inflates that one alone. A log larger than the memory the machine can
// spare is refused by name while the rest opens, and saving keeps its samples.
TEST(repository_file, LogsAreInflatedWhenFirstRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("zeros.lmx");
    std::vector<std::string> names;
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        KSM_TX_SIGNAL_SET* set = tx.get_signal_set_at(0);
        for (int c = 0; c < KSM_MAX_NODES; ++c)
            set->insert_node(("n" + std::to_string(c)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, true);
        set->set_sample_depth(1 << 20);
        KSM_DATA_LOG* first = tx.create_new_log(0);
        first->begin_capture(KSM_MAX_NODES, 1 << 20, 0);
        first->end_capture();
        for (int i = 0; i < 4; ++i) {
            KSM_DATA_LOG* log = i ? tx.create_new_log(0) : first;
            KSM_ACCESS::samples(log) = KSM_ACCESS::samples(first);  // one capture in memory, four in the file
            names.push_back(log->get_name());
        }
        KSM_DATA_LOG* small = tx.create_new_log(0);
        small->begin_capture(16, 4096, 0);
        small->set_bit(3, 100, true);
        small->end_capture();
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    EXPECT_LT(QFileInfo(path).size(), 16 << 20);
    const size_t inflated = size_t(KSM_MAX_NODES + 3) * (1 << 20) / 8;
    {
        reset_peak();
        KSM_TX_SESSION opened(new TEST_ROOT, false);
        ASSERT_TRUE(opened.open_session(local(path).c_str())) << opened.get_last_error();
        KSM_TX_TRIGGER* trigger = opened.get_trigger_at(0);
        ASSERT_EQ(trigger->get_num_logs(), 5);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(trigger->get_log(i)->get_num_channels(), KSM_MAX_NODES);
            EXPECT_LT(trigger->get_log(i)->get_sample_memory(), inflated / 64) << "opening inflated log " << i;
        }
        EXPECT_FALSE(trigger->get_log(1)->get_bit(4095, (1 << 20) - 1));  // shows the second log
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(trigger->get_log(i)->get_sample_memory() >= inflated, i == 1) << i;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their shadow memory adds to the peak
        EXPECT_LT(peak_mb(), 700);
#endif
        RecordProperty("peak_MB", static_cast<int>(peak_mb()));
    }
    MSG_JOURNAL::clear();
    ksm_set_sample_memory_limit(inflated - 1);
    {
        KSM_TX_SESSION opened(new TEST_ROOT, false);
        ASSERT_TRUE(opened.open_session(local(path).c_str())) << opened.get_last_error();
        KSM_TX_TRIGGER* trigger = opened.get_trigger_at(0);
        EXPECT_FALSE(trigger->get_log(2)->is_data_available(false));
        EXPECT_EQ(trigger->get_log(2)->get_channel_words(0), nullptr);
        EXPECT_TRUE(trigger->get_log(4)->get_bit(3, 100));
        const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
        ASSERT_EQ(posted.size(), 4u);
        for (int i = 0; i < 4; ++i)
            EXPECT_NE(posted[i].text.find(names[i]), std::string::npos) << posted[i].text;
        ASSERT_TRUE(opened.save_session(local(dir.filePath("again.lmx")).c_str())) << opened.get_last_error();
    }
    ksm_set_sample_memory_limit(0);
    EXPECT_EQ(read_bytes(dir.filePath("again.lmx")), read_bytes(path));
}

// The samples a file claims are allocated ahead of the reader only within the memory limit: with
// the limit below the size of a session's one log, shown, the open takes no samples and refuses
// that log by name.
TEST(repository_file, SamplesInflatedAheadKeepToTheMemoryLimit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("one.lmx");
    constexpr int CHANNELS = 64, DEPTH = 1 << 16;
    std::string name;
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        KSM_DATA_LOG* log = tx.create_new_log(0);
        log->begin_capture(CHANNELS, DEPTH, 0);
        log->end_capture();
        tx.set_active_log(0, log);
        name = log->get_name();
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    const size_t before = ksm_held_sample_memory();
    ksm_set_sample_memory_limit(size_t(CHANNELS + 3) * DEPTH / 8 - 1);
    MSG_JOURNAL::clear();
    KSM_TX_SESSION opened(new TEST_ROOT, false);
    const bool open = opened.open_session(local(path).c_str());
    const size_t held = ksm_held_sample_memory();
    ksm_set_sample_memory_limit(0);
    ASSERT_TRUE(open) << opened.get_last_error();
    EXPECT_EQ(held, before);
    const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_NE(posted[0].text.find(name), std::string::npos) << posted[0].text;
}

// The shown log is inflated as its file is read, and the open holds little beside its samples:
// with planes that do not compress, their payloads would hold as much again.
TEST(repository_file, OpeningTheShownLogHoldsLittleBesideItsSamples)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("noise.lmx");
    constexpr int CHANNELS = 256, DEPTH = 1 << 20;
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        KSM_DATA_LOG* log = tx.create_new_log(0);
        log->begin_capture(CHANNELS, DEPTH, 0);
        std::mt19937_64 random(1);
        std::vector<uint64_t> words(DEPTH / 64);
        for (int c = 0; c < CHANNELS; ++c) {
            std::generate(words.begin(), words.end(), random);
            log->set_channel_words(c, words.data(), words.size());
        }
        log->end_capture();
        tx.set_active_log(0, log);
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    const double samples_mb = double(CHANNELS + 3) * DEPTH / 8 / (1 << 20);
    malloc_trim(0);
    reset_peak();
    [[maybe_unused]] const double before = peak_mb();
    KSM_TX_SESSION opened(new TEST_ROOT, false);
    ASSERT_TRUE(opened.open_session(local(path).c_str())) << opened.get_last_error();
    EXPECT_GE(opened.get_log_at(0)->get_sample_memory() * 1.0, samples_mb * (1 << 20));  // inflated as it was read
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their shadow memory adds to the peak
    EXPECT_LT(peak_mb() - before, 1.4 * samples_mb);
#endif
}

// A session of several large instances opens within the memory of the one the window shows:
// that instance's active log alone is inflated, the others when first read, and no read
// inflates a log while the samples held would pass the limit; it is read once there is room.
TEST(repository_file, OpeningInflatesTheShownLogAndReadsStayWithinTheLimit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("instances.lmx");
    constexpr int CHANNELS = 256, DEPTH = 1 << 18, INSTANCES = 4, SHOWN = 2;
    const size_t log_bytes = size_t(CHANNELS + 3) * DEPTH / 8;
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        for (int i = 0; i < INSTANCES; ++i) {
            ASSERT_TRUE(i == 0 || tx.get_data_session()->create_lumetra_instance(nullptr));
            KSM_DATA_LOG* log = tx.create_new_log(i);
            log->begin_capture(CHANNELS, DEPTH, 0);
            log->set_bit(i, i, true);
            log->end_capture();
            KSM_ACCESS::state(tx.get_trigger_at(i))->active_log = 0;
        }
        ASSERT_TRUE(tx.set_global_data("active instance", SHOWN));
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    const size_t before = ksm_held_sample_memory();
    KSM_TX_SESSION opened(new TEST_ROOT, false);
    ASSERT_TRUE(opened.open_session(local(path).c_str())) << opened.get_last_error();
    EXPECT_EQ(ksm_held_sample_memory() - before, log_bytes);
    EXPECT_GE(opened.get_log_at(SHOWN)->get_sample_memory(), log_bytes);
    EXPECT_TRUE(opened.get_log_at(SHOWN)->get_bit(SHOWN, SHOWN));
    ksm_set_sample_memory_limit(before + 2 * log_bytes + log_bytes / 2);
    EXPECT_TRUE(opened.get_log_at(0)->get_bit(0, 0));
    MSG_JOURNAL::clear();
    for (int read = 0; read < 2; ++read)
        EXPECT_FALSE(opened.get_log_at(1)->get_bit(1, 1));
    EXPECT_EQ(ksm_held_sample_memory() - before, 2 * log_bytes);
    const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_NE(posted[0].text.find(opened.get_log_at(1)->get_name()), std::string::npos) << posted[0].text;
    ksm_set_sample_memory_limit(0);
    EXPECT_TRUE(opened.get_log_at(1)->get_bit(1, 1));
    EXPECT_EQ(ksm_held_sample_memory() - before, 3 * log_bytes);
}

// ---- refusals ---------------------------------------------------------------------------------------

struct OPEN_RESULT {
    bool opened = false;
    bool newer = false;
    std::string error;
};

// Opens a file into a fresh session under the module's own tree root; a refused file must
// leave neither data nor tree objects.
OPEN_RESULT try_open(const QString& path)
{
    OPEN_RESULT result;
    auto* root = new VOKR_SESSION_OBJECT;
    KSM_TX_SESSION tx(root, false);
    result.opened = tx.open_session(local(path).c_str());
    result.newer = tx.is_newer_file_format();
    result.error = tx.get_last_error();
    if (!result.opened) {
        EXPECT_EQ(tx.get_data_session(), nullptr);
        EXPECT_EQ(root->get_child_count() + root->get_state_machine_count(), 0) << "a refused file made tree objects";
    }
    return result;
}

// A valid rich file, and a session opened from it that no refusal may touch.
class repository_file_refusal : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_NO_FATAL_FAILURE(build_rich_session(tx, s_dir->path()));
        ASSERT_TRUE(tx.save_session(local(valid_path()).c_str()));
        s_valid = new QByteArray(read_bytes(valid_path()));
    }
    static void TearDownTestSuite()
    {
        delete s_valid;
        delete s_dir;
    }
    static QString valid_path() { return s_dir->filePath("valid.lmx"); }

    void SetUp() override
    {
        m_witness = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, false);
        ASSERT_TRUE(m_witness->open_session(local(valid_path()).c_str())) << m_witness->get_last_error();
    }
    void TearDown() override
    {
        EXPECT_FALSE(m_witness->is_modified());
        const QString copy = m_dir.filePath("witness.lmx");
        ASSERT_TRUE(m_witness->save_session(local(copy).c_str()));
        EXPECT_EQ(first_difference(read_bytes(copy), *s_valid), -1) << "a refused file changed another open session";
    }

    // Writes the bytes and expects them refused with a reason that names the file and the line
    // of the fault, and tells `why`.
    OPEN_RESULT expect_refused(const QByteArray& bytes, const std::string& why = "")
    {
        const QString path = m_dir.filePath("damaged.lmx");
        write_bytes(path, bytes);
        OPEN_RESULT r = try_open(path);
        if (r.opened) {
            ADD_FAILURE() << "the file was accepted";
            return r;
        }
        for (const std::string& part : {local(path), std::string(" at line "), why})
            EXPECT_NE(r.error.find(part), std::string::npos) << r.error;
        return r;
    }

    // The file (the valid one by default) with the first occurrence of `from` replaced.
    static QByteArray replaced(const QByteArray& from, const QByteArray& to, QByteArray bytes = *s_valid)
    {
        const int at = bytes.indexOf(from);
        EXPECT_GE(at, 0) << from.constData() << " is not in the file";
        return at < 0 ? bytes : bytes.replace(at, from.size(), to);
    }

    static QTemporaryDir* s_dir;
    static QByteArray* s_valid;
    QTemporaryDir m_dir;
    std::unique_ptr<KSM_TX_SESSION> m_witness;
    QUIET_QT m_quiet;
};

QTemporaryDir* repository_file_refusal::s_dir = nullptr;
QByteArray* repository_file_refusal::s_valid = nullptr;

// Sample planes read alike whatever markup surrounds them: a tag over two lines, a comment or
// an instruction holding a plane's start tag, a comment at the start of a plane's text.
TEST_F(repository_file_refusal, PlanesReadAroundCommentsAndInstructions)
{
    const QByteArray valid_plane = "<plane kind=\"valid\">";
    const QByteArray variants[] = {
        "<plane\n kind=\"valid\">",
        "<!-- <plane kind=\"valid\">x --><plane kind=\"valid\"><!-- note -->",
        "<?note <plane kind=\"x\">?><plane kind=\"valid\">",
        "<![CDATA[<plane kind=\"x\">]]><plane kind=\"valid\">",
    };
    for (const QByteArray& variant : variants) {
        SCOPED_TRACE(variant.toStdString());
        const QString path = m_dir.filePath("variant.lmx");
        write_bytes(path, replaced(valid_plane, variant));
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        const bool opened = tx.open_session(local(path).c_str());
        if (variant.contains("CDATA")) {  // text between elements: refused, as before
            EXPECT_FALSE(opened);
            continue;
        }
        ASSERT_TRUE(opened) << tx.get_last_error();
        for (int e = 0; e < m_witness->get_num_instances(); ++e) {
            KSM_TX_TRIGGER* a = m_witness->get_trigger_at(e);
            KSM_TX_TRIGGER* b = tx.get_trigger_at(e);
            ASSERT_EQ(b->get_num_logs(), a->get_num_logs());
            for (int i = 0; i < a->get_num_logs(); ++i)
                expect_same_log(a->get_log(i), b->get_log(i));
        }
    }
}

// Reads every log's samples, so that sessions compare sample by sample.
void inflate_every_log(KSM_DATA_SESSION* data)
{
    for (const auto& instance : KSM_ACCESS::state(data)->instances)
        for (const auto& set : KSM_ACCESS::state(instance.get())->signal_sets)
            for (const auto& trigger : KSM_ACCESS::state(set.get())->triggers)
                for (const auto& log : KSM_ACCESS::state(trigger.get())->logs)
                    log->get_valid_words();
}

// The file opened with the planes' text taken out on the way and through the XML reader
// alone: both refuse it with the same reason, line and column, or both open it with the same
// samples and the first saves the samples it read. Answers whether it opened.
bool expect_read_alike(const QString& path)
{
    ksm_set_plain_reading(true);
    KSM_TX_SESSION plain(new TEST_ROOT, false);
    const bool plain_opened = plain.open_session(local(path).c_str());
    ksm_set_plain_reading(false);
    KSM_TX_SESSION filtered(new TEST_ROOT, false);
    const bool opened = filtered.open_session(local(path).c_str());
    EXPECT_EQ(opened, plain_opened) << filtered.get_last_error() << plain.get_last_error();
    // Bytes that are not UTF-8 and a document cut short are found as far as the XML reader has
    // read ahead, which depends on the pieces it was given: there both refuse, for either reason.
    const std::string both = filtered.get_last_error() + plain.get_last_error();
    if (both.find("incorrectly encoded") == std::string::npos && both.find("Premature end") == std::string::npos) {
        EXPECT_EQ(filtered.get_last_error(), plain.get_last_error());
    }
    if (!opened || !plain_opened)
        return false;
    inflate_every_log(plain.get_data_session());
    inflate_every_log(filtered.get_data_session());
    expect_same_session(filtered.get_data_session(), plain.get_data_session());
    const QString saved = path + ".saved.lmx";
    EXPECT_TRUE(filtered.save_session(local(saved).c_str())) << filtered.get_last_error();
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    EXPECT_TRUE(reopened.open_session(local(saved).c_str())) << reopened.get_last_error();
    inflate_every_log(reopened.get_data_session());
    expect_same_session(reopened.get_data_session(), plain.get_data_session());
    return true;
}

// `child` as the first child of the first element that starts with `tag`.
QByteArray with_child(QByteArray bytes, const QByteArray& tag, const QByteArray& child)
{
    const int at = bytes.indexOf(tag);
    const int close = bytes.indexOf('>', at);
    EXPECT_GE(at, 0) << tag.constData() << " is not in the file";
    if (at < 0)
        return bytes;
    if (bytes[close - 1] != '/')
        return bytes.insert(close + 1, child);
    const QByteArray name = tag.mid(1, tag.indexOf(' ') - 1);
    return bytes.replace(close - 1, 2, ">" + child + "</" + name + ">");
}

// Plane elements bind their text by where they stand, not by their count: planes where the
// reader passes content by, one an entity expands to, empty ones, an instruction like the
// filter's own, text the filter leaves to the reader, a '>' in a plane's attribute, a fault
// after a plane on its line. Each file reads alike with and without the filter.
TEST_F(repository_file_refusal, PlanesBindToTheElementsTheyStandIn)
{
    const int first = s_valid->indexOf("<plane kind=\"bits\"");
    const QByteArray plane = s_valid->mid(first, s_valid->indexOf("</plane>", first) + 8 - first);
    const QByteArray text = plane.mid(plane.indexOf('>') + 1, plane.size() - plane.indexOf('>') - 9);
    ASSERT_GT(text.size(), 8);
    // A log's samples on one line, with a fault after its planes.
    const int samples = s_valid->indexOf("<samples"), samples_end = s_valid->indexOf("</samples>", samples);
    const QByteArray one_line =
        QString::fromUtf8(s_valid->mid(samples, samples_end - samples)).remove(QRegularExpression("\n *")).toUtf8();
    // The whole file on one line, a plane's text taken before the logs' planes on it; and with
    // CR LF line ends. Each with a plane given twice, and with a fault after a log's planes.
    const QByteArray on_one_line = QString::fromUtf8(with_child(*s_valid, "<counter ", plane))
                                       .replace(QRegularExpression(">\n *<"), "><")
                                       .toUtf8();
    const QByteArray crlf = QByteArray(*s_valid).replace("\n", "\r\n");
    const QByteArray twice = "<plane kind=\"bits\" channel=\"1\">", once = "<plane kind=\"bits\" channel=\"2\">";
    const QByteArray doctype = "<!DOCTYPE lumetra-session [<!ENTITY p '" + plane + "'>]>\n";
    const QByteArray declaration_end = "?>\n";
    const int prolog = s_valid->indexOf(declaration_end) + declaration_end.size();
    const struct {
        const char* what;
        QByteArray bytes;
        bool opens;
    } variants[] = {
        {"session", with_child(*s_valid, "<session ", plane), true},
        {"condition", with_child(*s_valid, "<condition ", plane), true},
        {"trigger-in", with_child(*s_valid, "<trigger-in ", plane), true},
        {"trigger-out", with_child(*s_valid, "<trigger-out ", plane), true},
        {"counter", with_child(*s_valid, "<counter ", plane), true},
        {"flag", with_child(*s_valid, "<flag ", plane), true},
        {"plug-in option", with_child(*s_valid, "<option ", plane), true},
        {"empty plane", with_child(*s_valid, "<session ", "<plane/><plane kind=\"valid\"/>"), true},
        {"entity in the session", with_child(QByteArray(*s_valid).insert(prolog, doctype), "<session ", "&p;"), true},
        {"entity for a plane", replaced(plane, "&p;").insert(prolog, doctype), true},
        {"instruction", replaced(">" + text, "><?ksm-plane 0 0?>" + text), true},
        {"character reference", replaced(">" + text, ">&#" + QByteArray::number(text[0]) + ";" + text.mid(1)), true},
        {"text and comment", replaced(text, text.left(4) + "<!--x-->" + text.mid(4)), true},
        {"'>' in an attribute", replaced("<plane kind=\"bits\"", "<plane note=\">\" kind=\"bits\""), true},
        {"Latin-1", replaced("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\""), true},
        {"white space", replaced(">" + text, ">\n" + text), false},
        {"fault after a plane", replaced(plane, plane + "<fault/>"), false},
        {"fault after planes on a line",
         QByteArray(*s_valid).replace(samples, samples_end - samples, one_line + "<fault/>"), false},
        {"fault after an entity's plane", replaced(plane, "&p;<fault/>").insert(prolog, doctype), false},
        {"a plane twice on one line", replaced(once, twice, on_one_line), false},
        {"fault after planes on one line", replaced("</samples>", "<fault/></samples>", on_one_line), false},
        {"a plane twice on CR LF lines", replaced(once, twice, crlf), false},
        {"fault after planes on CR LF lines", replaced("</samples>", "<fault/></samples>", crlf), false},
    };
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.what);
        const QString path = m_dir.filePath("variant.lmx");
        write_bytes(path, variant.bytes);
        EXPECT_EQ(expect_read_alike(path), variant.opens) << try_open(path).error;
    }
}

// A fault found right after a plane's text that the filter took out is told at the column where
// the text ends in the file: a text longer than its samples can be, of a plane read as an element
// in samples whose depth the filter cannot read (it is given by a reference).
TEST_F(repository_file_refusal, AFaultRightAfterATakenTextIsToldWhereTheTextEnds)
{
    const int first = s_valid->indexOf("<plane kind=\"bits\" channel=\"0\">");
    const QByteArray plane = s_valid->mid(first, s_valid->indexOf("</plane>", first) + 8 - first), text(2000, 'A');
    const QByteArray bytes = replaced(plane, "<plane channel=\"0\" kind=\"bits\">" + text + "</plane>",
                                      replaced("depth=\"130\"", "depth=\"&#49;30\""));
    const int end = bytes.indexOf(text) + text.size(), line_start = bytes.lastIndexOf('\n', end) + 1;
    expect_refused(bytes, "at line " + std::to_string(bytes.left(end).count('\n') + 1) + ", column " +
                              std::to_string(end - line_start) + ": a sample plane's text is longer than");
}

// A byte the XML reader does not give as it is, anywhere in a plane's text (at either end of
// the steps the filter checks it in), leaves that text to the reader: a character reference to
// a base64 character opens, while UTF-8 beyond ASCII, a control character and the end of a
// CDATA section are refused, each alike with and without the filter.
// The shown log's planes are inflated while the file before them is still being read, where
// the filter reads their plane from their start tags; whatever stands in those tags and texts,
// the file reads as the XML reader alone reads it: the samples with their trigger positions and
// state results, a plane damaged past the start of its text refused at that plane, a plane
// named twice refused (in another plane's place, or beside every plane), a plane read from a
// tag or text the filter leaves to the reader, and a shown log that is not the first.
TEST(repository_file, ShownLogsInflatedAheadOfTheReaderReadAlike)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shown.lmx");
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        KSM_DATA_LOG* first = tx.create_new_log(0);
        fill_samples(first, 0);
        fill_samples(tx.create_new_log(0), 1);
        ASSERT_TRUE(tx.set_active_log(0, first));
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    const QByteArray bytes = read_bytes(path), tag = "<plane kind=\"bits\" channel=\"1\">";
    const int text = bytes.indexOf(tag) + tag.size(), end = bytes.indexOf('<', text);
    ASSERT_GT(end - text, 12);
    const QByteArray active = QByteArray("active-log=\"") + (bytes.contains("active-log=\"0\"") ? "0" : "1") + "\"";
    const struct {
        const char* what;
        QByteArray bytes;
        bool opens;
    } variants[] = {
        {"as saved", bytes, true},
        {"damaged past its start", QByteArray(bytes).replace(end - 3, 1, "!"), false},
        {"a plane twice", QByteArray(bytes).replace(tag, "<plane kind=\"bits\" channel=\"0\">"), false},
        {"every plane and one twice",
         QByteArray(bytes).insert(bytes.indexOf(tag), tag + bytes.mid(text, end - text) + "</plane>"), false},
        {"a reference in a tag", QByteArray(bytes).replace(tag, "<plane kind=\"bits\" channel=\"&#49;\">"), true},
        {"a reference in a text", QByteArray(bytes).replace(text, 1, "&#" + QByteArray::number(bytes[text]) + ";"),
         true},
        {"the second log shown", QByteArray(bytes).replace(active, "active-log=\"1\""), true},
    };
    QUIET_QT quiet;
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.what);
        write_bytes(path, variant.bytes);
        EXPECT_EQ(expect_read_alike(path), variant.opens);
    }
}

// Node rows with plain values that follow a node read alike with and without the filter, which
// takes them out of the XML reader's way: faults in them are told at the same place, and rows
// in a form it leaves to the XML reader, or with markup between them, read as that reader reads
// them. Each change is made at the tenth row and at the row the filter's first read cuts.
TEST(repository_file, NodeRowsReadAlike)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.lmx");
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(path).c_str()));
        for (int k = 0; k < 3000; ++k)  // a file of more than one read of 32 KB
            tx.get_signal_set_at(0)->insert_node(("top|r" + std::to_string(k)).c_str(), KSM_STYPE_REGISTERED,
                                                 k % 7 ? KSM_TAP_PRE_SYNTHESIS : KSM_TAP_POST_FITTING, true);
        ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    }
    const QByteArray bytes = read_bytes(path);
    ASSERT_GT(bytes.size(), 32 << 10);
    int tenth = -1;
    for (int k = 0; k < 10; ++k)
        tenth = bytes.indexOf("<node ", tenth + 1);
    const int cut = bytes.lastIndexOf("<node ", 32 << 10);
    const struct {
        const char* what;
        QByteArray from, to;  // in the row
        bool opens;
    } changes[] = {
        {"as saved", "/>", "/>", true},
        {"a bad value", "/>", " tap-mode=\"7\"/>", false},
        {"no name", "name=\"top|r", "alias=\"top|r", false},
        {"a name given twice", "/>", " name=\"x\"/>", false},
        {"a name not XML's", "/>", " 1x=\"1\"/>", false},
        {"no space between values", "\" signal-type", "\"signal-type", false},
        {"a namespace XML refuses", "/>", " xmlns=\"http://www.w3.org/2000/xmlns/\"/>", false},
        {"text before it", "<node ", "x<node ", false},
        {"another element", "<node ", "<nodes ", false},
        {"a reference", "name=\"top|", "name=\"&amp;|", true},
        {"a '>' in a value", "/>", " alias=\"a>b\"/>", true},
        {"single quotes", "name=\"top|r", "alias='x' name=\"top|r", true},
        {"a tab and a line end", " signal-type", "\t\n signal-type", true},
        {"spaces around '='", "name=", "name = ", true},
        {"a namespace", "/>", " xmlns=\"urn:x\"/>", true},
        {"an end tag", "/>", "></node>", true},
        {"a comment before it", "<node ", "<!--x--><node ", true},
        {"a base64 name", "name=\"top|r", "name-b64=\"eA==\" alias=\"top|r", true},
        {"a bad base64 name", "name=\"top|r", "name-b64=\"*\" alias=\"top|r", false},
    };
    QUIET_QT quiet;
    for (const auto& change : changes) {
        for (const int row : {tenth, cut}) {
            SCOPED_TRACE(std::string(change.what) + " at " + std::to_string(row));
            QByteArray changed = bytes;
            const int end = changed.indexOf("/>", row) + 2;
            changed.replace(row, end - row, changed.mid(row, end - row).replace(change.from, change.to));
            write_bytes(path, changed);
            EXPECT_EQ(expect_read_alike(path), change.opens) << try_open(path).error;
        }
    }
    // CR LF line ends, a fault in the last row; rows after the document's end.
    write_bytes(path, QByteArray(bytes).replace("\n", "\r\n").replace("name=\"top|r2999\"", "tap-mode=\"9\""));
    EXPECT_FALSE(expect_read_alike(path));
    write_bytes(path, bytes + "<node name=\"a\"/>\n<node name=\"b\"/>\n");
    EXPECT_FALSE(expect_read_alike(path));
}

TEST(repository_file, PlaneTextsWithBytesTheReaderChangesReadAlike)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("variant.lmx");
    ASSERT_NO_FATAL_FAILURE(save_wide_log(path));
    const QByteArray bytes = read_bytes(path), tag = "<plane kind=\"bits\" channel=\"40\">";
    const int start = bytes.indexOf(tag) + tag.size(), size = bytes.indexOf('<', start) - start;
    ASSERT_GT(size, 130);
    QUIET_QT quiet;
    for (const int at : {0, 15, 16, 63, 64, 127, size - 17, size - 1}) {
        const QByteArray reference = "&#" + QByteArray::number(bytes[start + at]) + ";";
        for (const QByteArray& put : {reference, QByteArray("\xc3\xa9"), QByteArray("\x01"), QByteArray("]]>")}) {
            SCOPED_TRACE("at " + std::to_string(at) + ": " + put.toStdString());
            write_bytes(path, QByteArray(bytes).replace(start + at, 1, put));
            EXPECT_EQ(expect_read_alike(path), put == reference);
        }
    }
    // A text that ends in "]]>" where one of the filter's reads (of 32 KB) ends, moved there by
    // white space before its plane, in a run of plain planes and read as an element of its own.
    const QByteArray ended = QByteArray(bytes).replace(start + size - 1, 1, "]]>");
    const int read = 32 << 10, read_end = (start + size + 2 + read - 1) / read * read;
    const QByteArray spaces(read_end - (start + size + 2), ' ');
    for (const QByteArray& own : {tag, QByteArray("<plane channel=\"40\" kind=\"bits\">")}) {
        SCOPED_TRACE("\"]]>\" at the end of a read, after " + own.toStdString());
        write_bytes(path, QByteArray(ended).replace(start - tag.size(), tag.size(), spaces + own));
        EXPECT_FALSE(expect_read_alike(path));
    }
}

TEST_F(repository_file_refusal, TruncatedAnywhereBeforeTheEnd)
{
    const int end = s_valid->lastIndexOf('>');  // only trailing white space may go
    std::vector<int> cuts = {0, 1, 5, 38, 39, 40, end - 1, end};
    for (int k = 1; k < 40; ++k)
        cuts.push_back(static_cast<int>(static_cast<long long>(end) * k / 40));
    for (int cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expect_refused(s_valid->left(cut));
    }
}

TEST_F(repository_file_refusal, FlippedBytesAreMostlyRefusedAndNeverCrash)
{
    const int positions = 400;
    int refused = 0;
    const QString path = m_dir.filePath("flipped.lmx");
    for (int k = 0; k < positions; ++k) {
        QByteArray bytes = *s_valid;
        const int at = static_cast<int>(static_cast<long long>(bytes.size()) * k / positions);
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << (k % 8)));
        write_bytes(path, bytes);
        const OPEN_RESULT r = try_open(path);
        if (!r.opened) {
            ++refused;
            EXPECT_NE(r.error.find(local(path)), std::string::npos) << r.error;
            EXPECT_NE(r.error.find(" at line "), std::string::npos) << r.error;
        }
    }
    EXPECT_GT(refused, positions * 3 / 5);
}

TEST_F(repository_file_refusal, FilesThatAreNotSessionFiles)
{
    expect_refused("");
    expect_refused("<?xml version=\"1.0\"?>\n<project><item name=\"a\"/></project>\n", "not a session file");
    expect_refused("plain text, not XML at all\n");
    expect_refused(QByteArray(300, '\0'));
    const OPEN_RESULT directory = try_open(m_dir.path());
    EXPECT_FALSE(directory.opened);
    EXPECT_NE(directory.error.find(local(m_dir.path())), std::string::npos) << directory.error;
    const OPEN_RESULT missing = try_open(m_dir.filePath("missing.lmx"));
    EXPECT_FALSE(missing.opened);
    EXPECT_NE(missing.error.find("missing.lmx"), std::string::npos) << missing.error;
    // A pipe would keep the open waiting for a writer, a device would be read without end.
    const QString fifo = m_dir.filePath("fifo.lmx");
    ASSERT_EQ(mkfifo(local(fifo).c_str(), 0600), 0);
    for (const QString& special : {fifo, QString("/dev/zero")}) {
        const OPEN_RESULT r = try_open(special);
        EXPECT_FALSE(r.opened);
        EXPECT_NE(r.error.find(local(special) + "\": it is not a regular file"), std::string::npos) << r.error;
    }
    // A file that opens but whose reading fails (this one's first page is not mapped) is told so.
    const OPEN_RESULT unreadable = try_open("/proc/self/mem");
    EXPECT_EQ(unreadable.error.rfind("cannot read \"/proc/self/mem\": ", 0), 0u) << unreadable.error;
}

TEST_F(repository_file_refusal, NewerFormatIsToldApart)
{
    const OPEN_RESULT newer = expect_refused(replaced("format=\"1\"", "format=\"2\""), "newer");
    EXPECT_TRUE(newer.newer);
    for (const char* format : {"format=\"0\"", "format=\"one\"", ""}) {
        SCOPED_TRACE(format);
        EXPECT_FALSE(expect_refused(replaced("format=\"1\"", format), "format").newer);
    }
}

TEST_F(repository_file_refusal, BadValuesAndBrokenStructure)
{
    const struct {
        const char* from;
        const char* to;
        const char* why;
    } cases[] = {
        // Numbers and enumerations.
        {"sample-depth=\"2048\"", "sample-depth=\"2k\"", "sample-depth"},
        {"sample-depth=\"2048\"", "sample-depth=\"-1\"", "sample-depth"},
        {"ram-type=\"3\"", "ram-type=\"4\"", "ram-type"},
        {"sq-type=\"2\"", "sq-type=\"6\"", "sq-type"},
        {"position=\"2\"", "position=\"4\"", "position"},
        {"use=\"2\"", "use=\"0\"", "use"},
        {"tap-mode=\"2\"", "tap-mode=\"1\"", "tap mode"},
        {"condition=\"5\"", "condition=\"24\"", "condition"},
        {"operand1=\"", "operand1=\"17\" x=\"", "operand1"},
        {"info-second=\"4294967295\"", "info-second=\"4294967296\"", "info-second"},
        {"runtime-options=\"9\"", "runtime-options=\"16\"", "runtime-options"},
        {"gui-logging=\"1\"", "gui-logging=\"2\"", "gui-logging"},
        {"<level index=\"1\"", "<level index=\"2\"", "in order"},
        {"<level index=\"0\"", "<level index=\"10\"", "index"},
        {"<pattern index=\"1\"", "<pattern index=\"0\"", "twice"},
        {"<pattern index=\"1\"", "<pattern", "index"},
        {"<condition bank=\"0\"", "<condition", "bank"},
        {"slot=\"0\"", "slot=\"13\"", "slot"},
        {"flags=\"1 0\"", "flags=\"1 2\"", "bad number"},
        {"selected=\"0 2 4 5\"", "selected=\"0 6\"", "bad number"},
        {"<position key=\"splitter\">250</position>", "<position key=\"splitter\">25O</position>", "bad number"},
        {"<global key=\"zoom\">", "<global>", "no key"},
        // References to objects that are not there.
        {"active-signal-set=\"1\"", "active-signal-set=\"2\"", "signal set"},
        {"active-trigger=\"1\"", "active-trigger=\"2\"", "trigger"},
        {"active-log=\"1\"", "active-log=\"2\"", "log"},
        {"active-log=\"1\"", "active-log=\"-2\"", "active-log"},
        // Payloads and encoded texts.
        {"<plane kind=\"valid\">", "<plane kind=\"valid\">!!", "payload"},
        {"<plane kind=\"valid\">", "<plane kind=\"valid\">AAAA", "payload"},
        {"<plane kind=\"bits\" channel=\"1\"", "<plane kind=\"bits\" channel=\"0\"", "twice"},
        {"<plane kind=\"bits\" channel=\"1\"", "<plane kind=\"bits\"", "channel"},
        {"<plane kind=\"bits\" channel=\"1\"", "<plane kind=\"bits\" channel=\"3\"", "channel"},
        {"<plane kind=\"trigger\"", "<plane kind=\"other\"", "plane"},
        {"<plane kind=\"breaks\"", "<plane kind=\"trigger\"", "twice"},
        {"AAAAAA==</sif>", "Z2FyYmFnZQ==</sif>", "payload"},  // base64, but not compressed data
        {"AAAAAA==</sif>", "</sif>", "payload"},
        {"<samples channels=\"3\"", "<samples", "channels"},
        {"disconnected=\"1\"", "disconnected=\"3\"", "bad number"},
        {"trigger-positions=\"40 105\"", "trigger-positions=\"40 2147483647\"", "2147483647 lies beyond"},
        {"trigger-positions=\"40 105\"", "trigger-positions=\"130\"", "130 lies beyond the log's 130 samples"},
        {"<log name=\"log without samples\"", "<log name-b64=\"bG9nAHg=\"", "name holds a NUL"},  // "log\0x"
        {"assignment-b64=\"", "assignment-b64=\"*", "base64"},
        {"encoding=\"base64\">", "encoding=\"base64\">*", "base64"},
        // Structure.
        {" group=\"1\"", "", "nested without a group"},
        {"<node name=\"bus[3..0]\"", "<node depth=\"1\" name=\"bus[3..0]\"", "nested without a group"},
        {"<node name=\"clk_en\"", "<node depth=\"3\" name=\"clk_en\"", "nested without a group"},
        {"<node name=\"bus[3]\"", "<node name=\"\"", "no name"},
        {"<entry value=\"000\"", "<entry value=\"0002\"", "binary"},
        {"width=\"32\"", "width=\"33\"", "width"},
        {"<session ", "<surprise/><session ", "unexpected element"},
        {"<trigger-in ", "<trigger-inn/><trigger-in ", "unexpected element"},
        {"<state-machine>", "<state-machine>text", "unexpected text"},
        {"<state-machine>", "<state-machine><object kind=\"1\"/>", "unexpected element"},
        {"<flag ", "<log name=\"log without samples\"/><flag ", "two logs"},
        {"<instance name=\"core b\"", "<instance name=\"auto_lumetra_1\"", "two instances"},
        {"<instance name=\"core b\"", "<instance", "no name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        expect_refused(replaced(c.from, c.to), c.why);
    }
    // Samples without one of their planes.
    QByteArray planeless = *s_valid;
    const int plane = planeless.indexOf("<plane kind=\"breaks\">");
    expect_refused(planeless.remove(plane, planeless.indexOf("</plane>", plane) + 8 - plane), "lack a plane");
    // A disconnected channel of a log without channels.
    expect_refused(replaced("disconnected=\"1\"", "disconnected=\"0\"",
                            replaced("<samples channels=\"3\"", "<samples channels=\"0\"")),
                   "bad number");
    // After the document: more content, or a second root.
    expect_refused(*s_valid + "<lumetra-session format=\"1\"/>");
    expect_refused(*s_valid + "trailing words");
}

// A plane whose compressed stream is damaged is found when its log is first read, or inflated
// at once as the active log: the file opens, a warning names the log, a damaged channel reads as
// not connected (not as zeros), a damaged valid plane leaves no sample valid, and saving writes
// the file's bytes back.
TEST_F(repository_file_refusal, DamagedPlanesReadAsUnknownWhenFirstRead)
{
    const QByteArray channel_2 = "<plane kind=\"bits\" channel=\"2\">", valid = "<plane kind=\"valid\">";
    const std::pair<QByteArray, QByteArray> cases[] = {{"active-log=\"1\"", channel_2},
                                                       {"active-log=\"1\"", valid},
                                                       {"active-log=\"0\"", channel_2},
                                                       {"active-log=\"0\"", valid}};
    for (const auto& [active, tag] : cases) {
        SCOPED_TRACE(active.toStdString() + " " + tag.toStdString());
        QByteArray bytes = *s_valid;  // the plane damaged in every instance's log
        bytes.replace("active-log=\"1\"", active);
        for (int at = bytes.indexOf(tag); at >= 0; at = bytes.indexOf(tag, at + 1)) {
            const int start = at + tag.size(), end = bytes.indexOf("</plane>", start);
            const QByteArray sized = QByteArray::fromBase64(bytes.mid(start, end - start)).left(6);  // size, header
            bytes.replace(start, end - start, (sized + QByteArray(8, '\xff')).toBase64());  // a reserved block type
        }
        const QString path = m_dir.filePath("damaged.lmx");
        write_bytes(path, bytes);
        MSG_JOURNAL::clear();
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.open_session(local(path).c_str())) << tx.get_last_error();
        const auto sampled = [](KSM_TX_SESSION& session) {  // the log the rich session sampled
            KSM_TX_TRIGGER* t = session.get_trigger_at(0);
            for (int i = 0; i < t->get_num_logs(); ++i)
                if (t->get_log(i)->get_name() == "log " + UTF8)
                    return t->get_log(i);
            return static_cast<KSM_DATA_LOG*>(nullptr);
        };
        KSM_DATA_LOG* log = sampled(tx);
        ASSERT_TRUE(log && sampled(*m_witness)->get_connection_status(2));
        const bool channel = tag.contains("bits");
        EXPECT_EQ(log->get_connection_status(2), !channel);
        EXPECT_TRUE(log->get_connection_status(0));
        const uint64_t* valid = log->get_valid_words();
        const int words = (log->get_data_sample_depth() + 63) / 64;
        EXPECT_EQ(std::all_of(valid, valid + words, [](uint64_t w) { return w == 0; }), !channel);
        const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_NE(posted[0].text.find(log->get_name()), std::string::npos) << posted[0].text;
        ASSERT_TRUE(tx.save_session(local(m_dir.filePath("again.lmx")).c_str())) << tx.get_last_error();
        EXPECT_EQ(read_bytes(m_dir.filePath("again.lmx")), bytes);
    }
}

// An attached file's payload as a file holds it: the size it declares, then a zlib stream of
// `zeros` zero bytes (read from memory never written, which takes none), in base64.
QByteArray sif_payload(quint32 declared, size_t zeros)
{
    const std::unique_ptr<void, decltype(&std::free)> zero(std::calloc(zeros, 1), std::free);
    uLongf size = compressBound(zeros);
    QByteArray packed(static_cast<int>(4 + size), Qt::Uninitialized);
    qToBigEndian(declared, packed.data());
    compress2(reinterpret_cast<Bytef*>(packed.data() + 4), &size, static_cast<const Bytef*>(zero.get()), zeros, 1);
    return packed.left(static_cast<int>(4 + size)).toBase64();
}

// An attached file inflates to the size its payload declares and no further. One that would
// inflate past it, or declares more than any attached file, its payload or the memory the
// machine spares can hold, is refused with the reason before it takes memory or time; one that
// opens counts in the memory that samples may take.
TEST_F(repository_file_refusal, AttachedFilesInflateOnlyToTheSizeTheyDeclare)
{
    constexpr quint32 MB = 1 << 20;
    const struct {
        const char* what;
        quint32 declared;
        size_t zeros;
        size_t memory;  // the samples' limit, 0 for the machine's
        const char* why;
    } cases[] = {
        {"more than any attached file", 300 * MB, 300 * MB, 0, "claims 314572800 bytes"},
        {"inflating past its size", 1000, 300 * MB, 0, "a payload does not decode"},
        {"more than its payload holds", 200 * MB, 10, 0, "claims 209715200 bytes"},
        {"more than the memory spared", 100 * MB, 100 * MB, 64 * MB, "half of this computer's memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = replaced("AAAAAA==</sif>", sif_payload(c.declared, c.zeros) + "</sif>");
        ksm_set_sample_memory_limit(c.memory);
        reset_peak();
        const double peak = peak_mb(), cpu = cpu_ms(RUSAGE_SELF);
        expect_refused(bytes, c.why);
        EXPECT_LT(peak_mb() - peak, 48);
        EXPECT_LT(cpu_ms(RUSAGE_SELF) - cpu, 1000);
        ksm_set_sample_memory_limit(0);
    }
    const size_t held = ksm_held_sample_memory();
    const QString path = m_dir.filePath("attached.lmx");
    write_bytes(path, replaced("AAAAAA==</sif>", sif_payload(8 * MB, 8 * MB) + "</sif>"));
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.open_session(local(path).c_str())) << tx.get_last_error();
    EXPECT_EQ(tx.get_num_embedded_sif(), m_witness->get_num_embedded_sif());
    EXPECT_GE(ksm_held_sample_memory() - held, 8 * MB);
}

// A plane's text far longer than its samples can be (64 MB for a log of a few hundred samples)
// is refused at its start, in little time and memory, whether the plane stands in a run of plain
// planes, is read as an element of its own, or goes through the XML reader alone.
TEST_F(repository_file_refusal, PlaneTextsFarLongerThanTheirSamplesAreRefusedEarly)
{
    const QByteArray plain = "<plane kind=\"bits\" channel=\"0\">", other = "<plane channel=\"0\" kind=\"bits\">";
    const struct {
        const char* what;
        const QByteArray& tag;
        bool plain_reading;
    } cases[] = {{"run of planes", plain, false}, {"plane element", other, false}, {"XML reader", plain, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            QByteArray bytes = *s_valid;
            const int text = bytes.indexOf(plain) + plain.size();
            bytes.replace(text, bytes.indexOf('<', text) - text, QByteArray(64 << 20, 'A'));
            write_bytes(m_dir.filePath("long.lmx"), bytes.replace(plain, c.tag));
        }
        ksm_set_plain_reading(c.plain_reading);
        reset_peak();
        const double peak = peak_mb(), cpu = cpu_ms(RUSAGE_SELF);
        const OPEN_RESULT r = try_open(m_dir.filePath("long.lmx"));
        ksm_set_plain_reading(false);
        EXPECT_FALSE(r.opened);
        EXPECT_NE(r.error.find("a sample plane's text is longer than its samples can be"), std::string::npos)
            << r.error;
        EXPECT_NE(r.error.find(" at line "), std::string::npos) << r.error;
        if (!c.plain_reading) {  // the XML reader takes the whole text in before it gives any of it
            EXPECT_LT(peak_mb() - peak, 32);
            EXPECT_LT(cpu_ms(RUSAGE_SELF) - cpu, 1000);
        }
    }
}

// Two planes whose text stops being base64 after its first quads: the error names the first.
TEST_F(repository_file_refusal, TwoUndecodablePlanesNameTheFirst)
{
    QByteArray bytes = *s_valid;
    bytes.replace("active-log=\"1\"", "active-log=\"0\"");
    int first_line = 0;
    for (int at = bytes.indexOf("<plane "), k = 0; k < 2; at = bytes.indexOf("<plane ", at + 1), ++k) {
        const int payload = bytes.indexOf('>', at) + 1;
        ASSERT_GT(bytes.indexOf("</plane>", payload) - payload, 12);
        bytes[payload + 12] = '*';
        first_line = first_line ? first_line : static_cast<int>(bytes.left(payload).count('\n')) + 1;
    }
    expect_refused(bytes, " at line " + std::to_string(first_line) + ", ");
}

TEST_F(repository_file_refusal, TreesNestedBeyondTheLimit)
{
    for (int depth : {1001, 100000}) {  // the second would exhaust the stack of a recursive reader
        SCOPED_TRACE(depth);
        const QByteArray nest = QByteArray("<object>").repeated(depth) + QByteArray("</object>").repeated(depth);
        expect_refused(replaced("<object>", nest + "<object>"), "nest");
    }
}

// Trees of a shape the module's objects cannot hold: a state machine is one object of kind 1
// without children; a level's or pattern's tree and its boxes are of kind 0.
TEST_F(repository_file_refusal, TreesTheModuleCannotHold)
{
    const struct {
        const char* from;
        const char* to;
        const char* why;
    } cases[] = {
        {"<object kind=\"1\">", "<object kind=\"1\"><object kind=\"1\"/>", "a state machine holds no other object"},
        {"<object kind=\"1\">", "<object kind=\"1\"><object/>", "a state machine holds no other object"},
        {"<object kind=\"1\">", "<object>", "kind 1"},
        {"<object>", "<object kind=\"1\">", "kind 0"},
        {"<object>", "<object><object kind=\"1\"/>", "kind 0"},
        {"<object>", "<object/><object>", "two object trees"},
        {"<state-machine>", "<state-machine><object kind=\"1\"/></state-machine><state-machine>", "two state machines"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        expect_refused(replaced(c.from, c.to), c.why);
    }
    const OPEN_RESULT one_line = expect_refused(
        "<lumetra-session format=\"1\"><instance name=\"i\"><signal-set name=\"s\"><trigger name=\"t\">"
        "<level index=\"0\"/><state-machine><object kind=\"1\"><object/></object></state-machine>"
        "</trigger></signal-set></instance></lumetra-session>",
        "a state machine holds no other object");
    EXPECT_NE(one_line.error.find(" at line 1, "), std::string::npos) << one_line.error;
}

// The module takes every advanced level and pattern to have a tree, if only an empty one:
// whether it was made advanced in the session or is read so from a file.
TEST(repository_file, AdvancedLevelsAlwaysHaveATree)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("advanced.lmx");
    write_bytes(path,
                "<lumetra-session format=\"1\"><instance name=\"i\"><signal-set name=\"s\"><trigger name=\"t\">"
                "<level index=\"0\" type=\"3\"/><level index=\"1\"/><pattern index=\"2\" type=\"3\"/>"
                "</trigger></signal-set></instance></lumetra-session>");
    KSM_TX_SESSION tx(new VOKR_SESSION_OBJECT, false);
    ASSERT_TRUE(tx.open_session(local(path).c_str())) << tx.get_last_error();
    KSM_TX_TRIGGER* trigger = tx.get_trigger_at(0);
    EXPECT_NE(trigger->get_advanced_root(0), nullptr);
    EXPECT_EQ(trigger->get_advanced_root(1), nullptr);
    EXPECT_NE(trigger->get_storage_qualifier_root(2), nullptr);
    ASSERT_TRUE(trigger->set_trigger_level_cond_expr_type(1, false));
    EXPECT_NE(trigger->get_advanced_root(1), nullptr);
}

// A log keeps the shape it was captured with: deeper or wider than its instance's settings now,
// or captured before the depth became 0, it reads back. What bounds a file's samples is their
// payload: a plane that claims more than its compressed bytes can inflate to is refused.
TEST(repository_file, LogsReadBackWithTheShapeTheyWereCapturedWith)
{
    const struct {
        int sample_depth, data_allocated;
        std::vector<std::pair<int, int>> logs;  // channels, depth
    } cases[] = {
        {128, 0, {{64, 65536}}}, {1024, 8, {{9, 1024}, {9, 1024}}}, {1024, 8, {{2, 256}, {8, 1536}}},
        {0, 8, {{1, 1}}},        {64, 0, {{1, 1 << 24}}},  // the deepest a log may be
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("captures.lmx");
    for (const auto& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.sample_depth) + ", first log " + std::to_string(c.logs[0].first) +
                     " x " + std::to_string(c.logs[0].second));
        {
            KSM_TX_SESSION tx(new TEST_ROOT, false);
            ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
            ASSERT_TRUE(tx.get_signal_set_at(0)->set_sample_depth(c.sample_depth));
            ASSERT_TRUE(tx.get_signal_set_at(0)->set_data_nodes_allocated(c.data_allocated));
            for (const auto& [channels, depth] : c.logs) {
                KSM_DATA_LOG* log = tx.create_new_log(0);
                log->begin_capture(channels, depth, 0);
                log->set_trigger_positions({depth - 1, depth});  // the second is none: the log has no such sample
                log->end_capture();
            }
            ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
        }
        KSM_TX_SESSION reopened(new VOKR_SESSION_OBJECT, false);
        ASSERT_TRUE(reopened.open_session(local(path).c_str())) << reopened.get_last_error();
        for (size_t i = 0; i < c.logs.size(); ++i) {
            const KSM_DATA_LOG* log = reopened.get_trigger_at(0)->get_log(static_cast<int>(i));
            EXPECT_EQ(std::make_pair(log->get_num_channels(), log->get_data_sample_depth()), c.logs[i]);
            EXPECT_EQ(log->get_data_trigger_position(0), c.logs[i].second - 1);
            EXPECT_EQ(log->get_data_trigger_position(1), -1);
        }
    }
    // The last file's valid plane (2 MB of zeros) replaced by a few bytes claiming as much.
    QByteArray claim = qCompress(QByteArray(64, '\0'));
    qToBigEndian<quint32>(uint32_t(1) << 21, claim.data());
    QByteArray bytes = read_bytes(path);
    const int start = bytes.indexOf("<plane kind=\"valid\">") + 20;
    ASSERT_GE(start, 20);
    write_bytes(path, bytes.replace(start, bytes.indexOf('<', start) - start, claim.toBase64()));
    KSM_TX_SESSION refused(new VOKR_SESSION_OBJECT, false);
    EXPECT_FALSE(refused.open_session(local(path).c_str()));
    EXPECT_NE(refused.get_last_error().find("claims more samples than its payload"), std::string::npos)
        << refused.get_last_error();
}

// The limit on nesting keeps every tree a session can reasonably hold.
TEST(repository_file, ATreeAThousandLevelsDeepReadsBack)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    KSM_TX_TRIGGER* trigger = tx.get_trigger_at(0);
    ASSERT_TRUE(trigger->set_level_type(0, KSM_LTYPE_ADVANCED));
    auto* box = static_cast<TEST_BOX*>(trigger->get_advanced_root(0));
    for (int depth = 1; depth < 1000; ++depth)
        box = box->box()->add("depth", std::to_string(depth));
    const QString path = dir.filePath("deep.lmx");
    ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    ASSERT_TRUE(reopened.open_session(local(path).c_str())) << reopened.get_last_error();
    EXPECT_EQ(tree_text(reopened.get_trigger_at(0)->get_advanced_root(0)), tree_text(trigger->get_advanced_root(0)));
}

// ---- randomized mutations ---------------------------------------------------------------------------------

struct FUZZ {
    std::mt19937 rng;
    int below(int n) { return n > 0 ? static_cast<int>(rng() % static_cast<unsigned>(n)) : 0; }
};

// The elements of a file, each as [start, end) and the end of its start tag, the document
// element last; found by the tags alone, which the writer never leaves unescaped elsewhere.
struct ELEMENT {
    int start, content, end;
};
std::vector<ELEMENT> elements(const QByteArray& bytes)
{
    std::vector<ELEMENT> found, open;
    for (int at = bytes.indexOf('<'); at >= 0; at = bytes.indexOf('<', at + 1)) {
        const int close = bytes.indexOf('>', at);
        if (close < 0 || (bytes[at + 1] == '/' && open.empty()))
            break;
        if (bytes[at + 1] == '?')
            continue;
        if (bytes[at + 1] == '/') {
            found.push_back({open.back().start, open.back().content, close + 1});
            open.pop_back();
        } else if (bytes[close - 1] == '/') {
            found.push_back({at, close + 1, close + 1});
        } else {
            open.push_back({at, close + 1, -1});
        }
    }
    return found;
}

// Moves an element, nests or repeats a copy of it, drops it, or swaps two attributes anywhere.
void mutate_structure(QByteArray& bytes, FUZZ& fuzz)
{
    const std::vector<ELEMENT> all = elements(bytes);
    if (all.size() < 2)
        return;
    const ELEMENT a = all[fuzz.below(static_cast<int>(all.size()) - 1)];
    const ELEMENT b = all[fuzz.below(static_cast<int>(all.size()))];
    const QByteArray piece = bytes.mid(a.start, a.end - a.start);
    int into = b.content < b.end ? b.content : b.end;  // as b's first child, or after an empty b
    switch (fuzz.below(5)) {
    case 0:
        if (into > a.start && into < a.end)
            return;
        bytes.remove(a.start, piece.size());
        bytes.insert(into >= a.end ? into - piece.size() : into, piece);
        break;
    case 1: bytes.insert(into, piece); break;
    case 2: bytes.insert(a.end, piece); break;
    case 3: bytes.remove(a.start, piece.size()); break;
    default: {
        std::vector<std::pair<int, int>> attributes;  // [start, end) of ` name="value"`
        for (int at = bytes.indexOf("=\""); at >= 0; at = bytes.indexOf("=\"", at + 2)) {
            const int first = bytes.lastIndexOf(' ', at), last = bytes.indexOf('"', at + 2);
            if (first >= 0 && last > at)
                attributes.emplace_back(first, last + 1);
        }
        if (attributes.size() < 2)
            return;
        auto x = attributes[fuzz.below(static_cast<int>(attributes.size()))];
        auto y = attributes[fuzz.below(static_cast<int>(attributes.size()))];
        if (x.first > y.first)
            std::swap(x, y);
        if (x.second > y.first)
            return;
        const QByteArray later = bytes.mid(y.first, y.second - y.first);
        bytes.replace(y.first, y.second - y.first, bytes.mid(x.first, x.second - x.first));
        bytes.replace(x.first, x.second - x.first, later);
    }
    }
}

// Flips, replaces, inserts or drops bytes, cuts the file, copies a stretch elsewhere, drops an
// attribute or gives one a number from the edges of the ranges.
void mutate_bytes(QByteArray& bytes, FUZZ& fuzz)
{
    static const char alphabet[] = "<>/=\"&; \n\t0123456789-abcdefgx";
    static const char* const numbers[] = {"",
                                          "0",
                                          "-1",
                                          "1",
                                          "2",
                                          "63",
                                          "4096",
                                          "4097",
                                          "16777216",
                                          "2147483648",
                                          "x",
                                          "99999999999999999999",
                                          "-2147483649",
                                          "1 2 3"};
    if (bytes.isEmpty())
        return;
    const int at = fuzz.below(bytes.size());
    // An attribute after the chosen place: its value, and where the attribute starts and ends.
    const int value = bytes.indexOf("=\"", at) + 2;
    const int start = bytes.lastIndexOf(' ', value);
    const int end = value >= 2 ? bytes.indexOf('"', value) : -1;
    switch (fuzz.below(8)) {
    case 0: bytes[at] = static_cast<char>(bytes[at] ^ (1 << fuzz.below(8))); break;
    case 1: bytes[at] = static_cast<char>(fuzz.rng()); break;
    case 2: bytes.insert(at, alphabet[fuzz.below(sizeof alphabet - 1)]); break;
    case 3: bytes.remove(at, 1 + fuzz.below(16)); break;
    case 4: bytes.truncate(at); break;
    case 5: bytes.insert(fuzz.below(bytes.size()), bytes.mid(at, 1 + fuzz.below(300))); break;
    case 6:
        if (end > start && start >= 0)
            bytes.remove(start, end + 1 - start);
        break;
    default:
        if (end >= value)
            bytes.replace(value, end - value, numbers[fuzz.below(sizeof numbers / sizeof *numbers)]);
        break;
    }
}

// Damaged copies of a valid file, reshaped or with damaged bytes, must never crash or hang the
// reader under the module's own tree root; the test root, which holds any tree, must get the
// same answer, and so must the XML reader alone, sample by sample. An accepted copy must save,
// and the saved file must read back and save again to the same bytes. KSM_FUZZ_ITERATIONS and
// KSM_FUZZ_SEED make longer or other runs.
TEST(repository_file, RandomDamageIsRefusedOrReadConsistently)
{
    QTemporaryDir dir;
    QByteArray valid;
    {
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_NO_FATAL_FAILURE(build_rich_session(tx, dir.path()));
        ASSERT_TRUE(tx.save_session(local(dir.filePath("valid.lmx")).c_str()));
        valid = read_bytes(dir.filePath("valid.lmx"));
    }
    const int iterations = env_number("KSM_FUZZ_ITERATIONS", 30);
    const unsigned seed = static_cast<unsigned>(env_number("KSM_FUZZ_SEED", 20240517));
    FUZZ fuzz{std::mt19937(seed)};
    QUIET_QT quiet;
    const QString mutant_path = dir.filePath("mutant.lmx");
    const QString first_path = dir.filePath("first.lmx");
    const QString second_path = dir.filePath("second.lmx");
    int accepted = 0;
    for (int i = 0; i < iterations; ++i) {
        QByteArray bytes = valid;
        const int reshapes = fuzz.below(4);
        for (int m = 0; m < reshapes; ++m)
            mutate_structure(bytes, fuzz);
        for (int m = reshapes ? fuzz.below(2) : 1 + fuzz.below(3); m > 0; --m)
            mutate_bytes(bytes, fuzz);
        write_bytes(mutant_path, bytes);
        SCOPED_TRACE("iteration " + std::to_string(i) + " of seed " + std::to_string(seed));
        auto* root = new VOKR_SESSION_OBJECT;
        KSM_TX_SESSION mutant(root, false);
        const bool opened = mutant.open_session(local(mutant_path).c_str());
        KSM_TX_SESSION any_tree(new TEST_ROOT, false);
        ASSERT_EQ(any_tree.open_session(local(mutant_path).c_str()), opened) << any_tree.get_last_error();
        ASSERT_EQ(expect_read_alike(mutant_path), opened);
        if (!opened) {
            ASSERT_NE(mutant.get_last_error().find(local(mutant_path)), std::string::npos) << mutant.get_last_error();
            ASSERT_EQ(root->get_child_count() + root->get_state_machine_count(), 0);
            continue;
        }
        ++accepted;
        ASSERT_TRUE(mutant.save_session(local(first_path).c_str())) << mutant.get_last_error();
        KSM_TX_SESSION again(new VOKR_SESSION_OBJECT, false);
        ASSERT_TRUE(again.open_session(local(first_path).c_str())) << again.get_last_error();
        ASSERT_TRUE(again.save_session(local(second_path).c_str())) << again.get_last_error();
        ASSERT_EQ(first_difference(read_bytes(first_path), read_bytes(second_path)), -1);
    }
    RecordProperty("accepted", accepted);
}

// ---- failing saves ------------------------------------------------------------------------------------------

TEST(repository_file, SaveToAnUnwritableTargetFailsAndKeepsTheSavedFile)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    const QString saved = dir.filePath("saved.lmx");
    ASSERT_TRUE(tx.save_session(local(saved).c_str()));
    const QByteArray before = read_bytes(saved);
    tx.set_gui_logging(true);

    QStringList targets = {saved + "/inner.lmx", dir.filePath("missing/inner.lmx"), dir.path()};
    // Permissions stop writes only for a user without the right to override them.
    const QString locked = dir.filePath("locked");
    if (geteuid() != 0) {
        ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
        ASSERT_TRUE(tx.save_session(local(locked + "/old.lmx").c_str()));
        tx.set_gui_logging(false);
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        targets << locked + "/old.lmx" << locked + "/new.lmx";
    }
    for (const QString& target : targets) {
        SCOPED_TRACE(local(target));
        const QByteArray old = read_bytes(target);
        EXPECT_FALSE(tx.save_session(local(target).c_str()));
        EXPECT_NE(tx.get_last_error().find(local(target)), std::string::npos) << tx.get_last_error();
        EXPECT_TRUE(tx.is_modified());
        EXPECT_EQ(first_difference(read_bytes(target), old), -1);
    }
    EXPECT_EQ(first_difference(read_bytes(saved), before), -1);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A file-size limit makes a write fail, whoever runs the test: part-way through a large
// session, at the last write of a small one, or while an attached file is written out. The
// old file stays as it was, and a save tells the system's reason.
TEST(repository_file, WritesStoppedByAFileSizeLimitKeepTheOldFileAndTellWhy)
{
    const struct {
        const char* what;
        int sif_bytes;  // attached file, 0 for none
        rlim_t limit;
        bool extract;  // write the attached file out instead of saving the session
    } cases[] = {
        {"large session", 256 * 1024, rlim_t{64} * 1024, false},
        {"small session", 0, 64, false},
        {"attached file", 8 * 1024, 1024, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
        const QString target = dir.filePath("target.lmx");
        ASSERT_TRUE(tx.save_session(local(target).c_str()));
        const QByteArray before = read_bytes(target);
        std::mt19937 rng(3);
        QByteArray noise(c.sif_bytes, '\0');
        for (char& b : noise)
            b = static_cast<char>(rng());
        if (c.sif_bytes) {
            write_bytes(dir.filePath("a.sif"), noise);
            ASSERT_TRUE(tx.embed_sif_file(local(dir.filePath("a.sif")).c_str(), "a.sif"));
        }
        bool ok = true;
        {
            FILE_SIZE_LIMIT limit(c.limit);
            ASSERT_TRUE(limit.is_set());
            ok = c.extract ? tx.extract_sif_file(0, local(target).c_str()) : tx.save_session(local(target).c_str());
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(first_difference(read_bytes(target), before), -1);
        QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        left.removeAll("a.sif");
        EXPECT_EQ(left, QStringList{"target.lmx"});  // no temporary left behind
        if (!c.extract) {
            EXPECT_NE(tx.get_last_error().find(local(target)), std::string::npos) << tx.get_last_error();
            EXPECT_NE(tx.get_last_error().find(std::strerror(EFBIG)), std::string::npos) << tx.get_last_error();
            ASSERT_TRUE(tx.save_session(local(target).c_str())) << tx.get_last_error();
            EXPECT_GT(read_bytes(target).size(), noise.size());
        }
    }
}

// A save keeps the file's owner and group, whoever saves it: root gives them to the new file, and
// a user who cannot is refused with the reason before the file is touched. A file with other
// names (hard links) is saved, and the save says that they keep what the file held before.
// Users are played by a thread of the test with its own file-system identity.
TEST(repository_file, SavesKeepTheOwnerAndGroupOrAreRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving files to other users needs root";
    constexpr uid_t ROOT = 0, USER = 65534, OTHER = 12345;
    const struct {
        const char* what;
        uid_t owner, group, saver;
        bool linked;
        const char* told;  // the refusal's reason, or the warning a save posts (empty: none)
    } cases[] = {
        {"root saves a user's file", USER, USER, ROOT, false, ""},
        {"a user saves another user's file", OTHER, USER, USER, false, "given its user 12345"},
        {"a user saves a file of a group not theirs", USER, OTHER, USER, false, "and group 12345"},
        {"a user saves their own file", USER, USER, USER, false, ""},
        {"a file with another name", USER, USER, ROOT, true, "1 other name(s) (hard links)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_EQ(::chmod(local(dir.path()).c_str(), 0777), 0);
        const std::string path = local(dir.filePath("shared.lmx")), link = local(dir.filePath("link.lmx"));
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(path.c_str()));
        ASSERT_TRUE(tx.save_session(path.c_str())) << tx.get_last_error();
        ASSERT_EQ(::chown(path.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
        ASSERT_TRUE(!c.linked || ::link(path.c_str(), link.c_str()) == 0);
        const QByteArray before = read_bytes(dir.filePath("shared.lmx"));
        tx.create_lumetra_instance();
        MSG_JOURNAL::clear();
        bool saved = false;
        std::thread([&] {
            ::setfsgid(c.saver);  // for this thread alone
            ::setfsuid(c.saver);
            saved = tx.save_session(path.c_str());
        }).join();
        const bool refused = !c.linked && *c.told;
        EXPECT_EQ(saved, !refused) << tx.get_last_error();
        EXPECT_EQ(read_bytes(dir.filePath("shared.lmx")) == before, refused);
        struct stat s;
        ASSERT_EQ(::stat(path.c_str(), &s), 0);
        EXPECT_EQ(s.st_uid, c.owner);
        EXPECT_EQ(s.st_gid, c.group);
        EXPECT_EQ(s.st_mode & 07777, 0666u);
        const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
        const std::string told = refused ? tx.get_last_error() : posted.empty() ? "" : posted[0].text;
        EXPECT_TRUE(*c.told ? told.find(c.told) != std::string::npos : told.empty()) << told;
        EXPECT_EQ(posted.size(), c.linked ? 1u : 0u);
        EXPECT_TRUE(!c.linked || read_bytes(dir.filePath("link.lmx")) == before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), c.linked ? 2 : 1);  // no temporary left
    }
}

// Names of any length a folder takes save and open again: the temporary's name is cut to fit.
TEST(repository_file, NamesOfAnyLengthSave)
{
    const QString cjk = QString::fromUtf8("\xe6\xbc\xa2");  // three bytes in UTF-8
    const QString names[] = {QString(255, 'n'), QString(242, 'n'), cjk.repeated(82) + ".lmx", cjk.repeated(85)};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QTemporaryDir dir;
        const std::string path = local(dir.filePath(name));
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(path.c_str()));
        ASSERT_TRUE(tx.save_session(path.c_str())) << tx.get_last_error();
        tx.create_lumetra_instance();
        ASSERT_TRUE(tx.save_session(path.c_str())) << tx.get_last_error();
        KSM_TX_SESSION reopened(new TEST_ROOT, false);
        ASSERT_TRUE(reopened.open_session(path.c_str())) << reopened.get_last_error();
        EXPECT_EQ(reopened.get_num_instances(), 2);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
    }
}

// A save over the file a session opened or last saved is refused, what another program wrote
// there since kept, until the session takes the changed file as seen. Of two sessions that save
// one file at once, one saves and the other is refused: the later save sees the earlier one's.
TEST(repository_file, SavesOverAFileChangedOnDiskAreRefused)
{
    QTemporaryDir dir;
    const std::string path = local(dir.filePath("s.lmx"));
    std::unique_ptr<KSM_TX_SESSION> sessions[2];
    for (auto& tx : sessions) {
        tx = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, false);
        ASSERT_TRUE(tx->create_session(path.c_str()));
        fill_rows(tx->get_signal_set_at(0), 1);
        ASSERT_TRUE(tx->save_session(path.c_str()));
    }
    KSM_TX_SESSION& first = *sessions[0];
    const QByteArray theirs = read_bytes(dir.filePath("s.lmx"));
    EXPECT_TRUE(first.is_changed_on_disk(path.c_str()));
    EXPECT_FALSE(first.save_session(path.c_str()));
    EXPECT_NE(first.get_last_error().find("changed on disk"), std::string::npos) << first.get_last_error();
    EXPECT_EQ(read_bytes(dir.filePath("s.lmx")), theirs);
    first.accept_file_on_disk(path.c_str());
    EXPECT_TRUE(first.save_session(path.c_str())) << first.get_last_error();

    for (auto& tx : sessions)
        ASSERT_TRUE(tx->open_session(path.c_str())) << tx->get_last_error();
    std::atomic<int> ready{0};
    bool saved[2] = {};
    std::thread savers[2];
    for (int i = 0; i < 2; ++i)
        savers[i] = std::thread([&, i] {
            for (++ready; ready < 2;) {
            }
            saved[i] = sessions[i]->save_session(path.c_str());
        });
    for (std::thread& t : savers)
        t.join();
    EXPECT_NE(saved[0], saved[1]);
}

// A save gives the new file the old one's permissions whatever the umask, wider or narrower;
// a file saved where none was takes the umask.
TEST(repository_file, SavesKeepThePermissionsWhateverTheUmask)
{
    const struct {
        mode_t umask, old, saved;  // old 0: no file before
    } cases[] = {{077, 0664, 0664}, {0, 0600, 0600}, {027, 0, 0640}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::asprintf("umask %03o, old file %03o", c.umask, c.old).toStdString());
        QTemporaryDir dir;
        const std::string path = local(dir.filePath("s.lmx"));
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(path.c_str()));
        ASSERT_TRUE(!c.old || (tx.save_session(path.c_str()) && ::chmod(path.c_str(), c.old) == 0));
        tx.create_lumetra_instance();
        const mode_t umask = ::umask(c.umask);
        const bool saved = tx.save_session(path.c_str());
        ::umask(umask);
        EXPECT_TRUE(saved) << tx.get_last_error();
        struct stat s;
        ASSERT_EQ(::stat(path.c_str(), &s), 0);
        EXPECT_EQ(s.st_mode & 07777, c.saved);
    }
}

// A session that is a symbolic link (relative, absolute, or to another link) saves through it,
// where no file is yet and over the file: the link stays as it was and the file it leads to
// takes the new content.
TEST(repository_file, SavesThroughSymbolicLinksKeepTheLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString real = dir.filePath("real/s.lmx");
    const std::pair<const char*, QString> links[] = {
        {"relative.lmx", "real/s.lmx"}, {"absolute.lmx", real}, {"chain.lmx", "relative.lmx"}};
    for (const auto& [name, target] : links) {
        SCOPED_TRACE(name);
        const std::string link = local(dir.filePath(name));
        ASSERT_EQ(::symlink(local(target).c_str(), link.c_str()), 0);
        KSM_TX_SESSION tx(new TEST_ROOT, false);
        ASSERT_TRUE(tx.create_session(link.c_str()));
        ASSERT_TRUE(tx.save_session(link.c_str())) << tx.get_last_error();  // a new file, then over it
        tx.create_lumetra_instance();
        ASSERT_TRUE(tx.save_session(link.c_str())) << tx.get_last_error();
        char text[PATH_MAX] = {};
        EXPECT_EQ(::readlink(link.c_str(), text, sizeof text - 1), static_cast<ssize_t>(local(target).size()));
        EXPECT_EQ(text, local(target));
        KSM_TX_SESSION reopened(new TEST_ROOT, false);
        ASSERT_TRUE(reopened.open_session(local(real).c_str())) << reopened.get_last_error();
        EXPECT_EQ(reopened.get_num_instances(), 2);
        EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::Files), QStringList{"s.lmx"});  // no temporary left
        ASSERT_EQ(::unlink(local(real).c_str()), 0);
    }
}

}  // namespace

// While a test sets it to 0 or more, every other call of writev() on each thread fails with
// EINTR before it writes anything, as where a signal arrives before the write starts, and
// counts the calls so failed.
std::atomic<int> g_interrupted_writes{-1};

extern "C" ssize_t writev(int fd, const iovec* parts, int count)
{
    static const auto next = reinterpret_cast<ssize_t (*)(int, const iovec*, int)>(dlsym(RTLD_NEXT, "writev"));
    static thread_local bool interrupted = false;
    if (g_interrupted_writes >= 0 && (interrupted = !interrupted)) {
        ++g_interrupted_writes;
        errno = EINTR;
        return -1;
    }
    return next(fd, parts, count);
}

namespace {

// A write interrupted by a signal is made again: a save with a large attached file and that
// file's extraction, each of their writes interrupted once, succeed with the bytes that writes
// without interruption give.
TEST(repository_file, WritesInterruptedBySignalsAreMadeAgain)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    std::mt19937 rng(3);
    QByteArray noise(3 << 20, '\0');
    for (char& b : noise)
        b = static_cast<char>(rng());
    write_bytes(dir.filePath("a.sif"), noise);
    ASSERT_TRUE(tx.embed_sif_file(local(dir.filePath("a.sif")).c_str(), "a.sif"));
    ASSERT_TRUE(tx.save_session(local(dir.filePath("plain.lmx")).c_str())) << tx.get_last_error();
    g_interrupted_writes = 0;
    const bool saved = tx.save_session(local(dir.filePath("interrupted.lmx")).c_str());
    const bool extracted = tx.extract_sif_file(0, local(dir.filePath("b.sif")).c_str());
    EXPECT_GE(g_interrupted_writes.exchange(-1), 2);
    EXPECT_TRUE(saved) << tx.get_last_error();
    EXPECT_TRUE(extracted);
    EXPECT_EQ(first_difference(read_bytes(dir.filePath("interrupted.lmx")), read_bytes(dir.filePath("plain.lmx"))), -1);
    EXPECT_EQ(first_difference(read_bytes(dir.filePath("b.sif")), noise), -1);
}

// A pipe or a device is no file to replace: a save and the extraction of an attached file are
// refused there, and it stays what it was. (The device is made only where the user may.)
TEST(repository_file, PipesAndDevicesAreRefusedAndKept)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    write_bytes(dir.filePath("a.sif"), "attached");
    ASSERT_TRUE(tx.embed_sif_file(local(dir.filePath("a.sif")).c_str(), "a.sif"));
    for (const mode_t kind : {S_IFIFO, S_IFCHR})
        for (const bool extract : {false, true}) {
            const std::string special = local(dir.filePath(QString("%1-%2").arg(kind).arg(extract)));
            if (::mknod(special.c_str(), kind | 0600, makedev(1, 3)) != 0) {  // the null device's numbers
                EXPECT_EQ(kind, S_IFCHR) << "a pipe can be made by any user";
                continue;
            }
            SCOPED_TRACE(std::string(kind == S_IFIFO ? "pipe" : "device") + (extract ? ", extraction" : ", save"));
            EXPECT_FALSE(extract ? tx.extract_sif_file(0, special.c_str()) : tx.save_session(special.c_str()));
            EXPECT_TRUE(extract || tx.get_last_error().find("it is not a regular file") != std::string::npos)
                << tx.get_last_error();
            struct stat s;
            ASSERT_EQ(::lstat(special.c_str(), &s), 0);
            EXPECT_EQ(s.st_mode & S_IFMT, kind);
        }
}

}  // namespace

// The largest lists the list's edits allow (every node, each in a group of its own) save and
// open again as they were; one node or group more is refused by the edit itself.
TEST(repository_file, TheLargestListsTheEditsAllowReadBack)
{
    QTemporaryDir dir;
    KSM_TX_SESSION tx(new TEST_ROOT, false);
    ASSERT_TRUE(tx.create_session(local(dir.filePath("s.lmx")).c_str()));
    KSM_TX_SIGNAL_SET* set = tx.get_signal_set_at(0);
    for (int i = 0; i < KSM_MAX_NODES; ++i)
        ASSERT_TRUE(
            set->insert_node(("n" + std::to_string(i)).c_str(), KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    EXPECT_FALSE(set->insert_node("one_more", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    for (int row = KSM_MAX_NODES - 1; row >= 0; --row)
        ASSERT_TRUE(set->group_nodes(row, row)) << row;
    EXPECT_FALSE(set->group_nodes(0, 1));
    ASSERT_EQ(set->get_num_nodes(), KSM_MAX_NODES + KSM_MAX_GROUP_ROWS);

    const QString path = dir.filePath("largest.lmx");
    ASSERT_TRUE(tx.save_session(local(path).c_str())) << tx.get_last_error();
    KSM_TX_SESSION reopened(new TEST_ROOT, false);
    ASSERT_TRUE(reopened.open_session(local(path).c_str())) << reopened.get_last_error();
    for (auto [a, b] : {std::pair<KSM_TX_SIGNAL_NODES*, KSM_TX_SIGNAL_NODES*>{set, reopened.get_signal_set_at(0)},
                        {tx.get_trigger_at(0), reopened.get_trigger_at(0)}}) {
        ASSERT_EQ(b->get_num_nodes(), a->get_num_nodes());
        for (int row = 0; row < a->get_num_nodes(); ++row) {
            ASSERT_STREQ(b->get_node_name(row), a->get_node_name(row)) << row;
            ASSERT_EQ(b->get_depth(row), a->get_depth(row)) << row;
        }
    }
}
