#include "prj.h"

#include "omu.h"
#include "toz.h"
#include "wolpa.h"
#include "yek.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QString>
#include <QTextStream>

#include <cstdlib>
#include <memory>
#include <set>

namespace {

std::unique_ptr<PRJ_PROJECT>& open_project()
{
    static auto* project = new std::unique_ptr<PRJ_PROJECT>;  // lives for the process
    return *project;
}

// Splits a line into words; a word in double quotes may hold blanks. False for an open quote.
bool split(const QString& line, QStringList* words)
{
    QString word;
    bool quoted = false, in_word = false;
    for (QChar c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && c == '#') {
            break;
        } else if (!quoted && c.isSpace()) {
            if (in_word)
                *words << word;
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        *words << word;
    return !quoted;
}

const std::map<QString, unsigned int>& type_words()
{
    static const std::map<QString, unsigned int> words = {
        {"input", TOZ_FLAG_INPUT_PIN},       {"output", TOZ_FLAG_OUTPUT_PIN},
        {"bidir", TOZ_FLAG_BIDIR_PIN},       {"memory", TOZ_FLAG_MEMORY},
        {"registered", TOZ_FLAG_REGISTERED}, {"combinatorial", TOZ_FLAG_COMBINATORIAL},
        {"machine", TOZ_FLAG_STATE_MACHINE}};
    return words;
}

const std::map<QString, int>& netlist_words()
{
    static const std::map<QString, int> words = {{"none", YEK_NETLIST_NONE},
                                                 {"source", YEK_NETLIST_SOURCE_FILE},
                                                 {"post-fit", YEK_NETLIST_POST_FIT},
                                                 {"post-fit-strict", YEK_NETLIST_POST_FIT_STRICT},
                                                 {"empty", YEK_NETLIST_EMPTY}};
    return words;
}

}  // namespace

// Reads a description line by line; the first fault ends the reading with its reason.
class PRJ_READER {
public:
    PRJ_READER(PRJ_PROJECT* project, QString file) : m_project(project), m_file(std::move(file)) {}

    bool read(QTextStream& in, std::string* error)
    {
        for (m_line = 1; !in.atEnd(); ++m_line) {
            QStringList words;
            if (!split(in.readLine(), &words))
                return fail("a quote is not closed", error);
            if (!words.isEmpty() && !statement(words))
                return fail(m_why, error);
        }
        m_line = 0;
        if (m_project->m_top.empty())
            return fail("the description names no top entity (a \"top\" line)", error);
        return true;
    }

private:
    bool fail(const QString& why, std::string* error)
    {
        *error = "Invalid project description \"" + m_file.toStdString() + "\"" +
                 (m_line > 0 ? " at line " + std::to_string(m_line) : std::string()) + ": " + why.toStdString();
        return false;
    }

    bool reject(const QString& why)
    {
        m_why = why;
        return false;
    }

    bool number(const QString& word, int* value)
    {
        bool ok = false;
        *value = word.toInt(&ok);
        return ok || reject("\"" + word + "\" is not a number");
    }

    bool bus_index(const QString& word, int* value)
    {
        bool ok = false;
        *value = word.toInt(&ok);
        return ok || reject("\"" + word + "\" is not a bus index (a 32-bit number)");
    }

    bool expect_words(const QStringList& words, int count)
    {
        return words.size() == count || reject("\"" + words[0] + "\" takes " + QString::number(count - 1) + " word(s)");
    }

    bool statement(const QStringList& w)
    {
        const QString& what = w[0];
        int n = 0;
        if (what == "project" && expect_words(w, 2))
            m_project->m_name = w[1].toStdString();
        else if (what == "top" && expect_words(w, 2))
            m_project->m_top = w[1].toStdString();
        else if (what == "family" && expect_words(w, 2))
            m_project->m_family = w[1].toStdString();
        else if (what == "device" && expect_words(w, 2))
            m_project->m_device = w[1].toStdString();
        else if (what == "incremental" && expect_words(w, 2))
            return on_off(w[1], &m_project->m_incremental);
        else if (what == "case-sensitive" && expect_words(w, 2))
            return on_off(w[1], &m_project->m_case_sensitive);
        else if ((what == "assignment" || what == "compiled-assignment") && expect_words(w, 3) && number(w[1], &n))
            (what == "assignment" ? m_project->m_assignments : m_project->m_compiled_assignments)[n] =
                w[2].toStdString();
        else if (what == "partition")
            return partition(w);
        else if (what == "node")
            return node(w);
        else if (m_why.isEmpty())
            return reject("unknown statement \"" + what + "\"");
        return m_why.isEmpty();
    }

    bool on_off(const QString& word, bool* value)
    {
        if (word == "on" || word == "yes")
            *value = true;
        else if (word == "off" || word == "no")
            *value = false;
        else
            return reject("\"" + word + "\" is neither on nor off");
        return true;
    }

    bool partition(const QStringList& w)
    {
        if (w.size() < 6 || w.size() > 7 || w[2] != "type" || w[4] != "netlist" || (w.size() == 7 && w[6] != "fixed"))
            return reject("a partition is written: partition <path> type <n> netlist <type> [fixed]");
        int type = 0, netlist = 0;
        if (!number(w[3], &type))
            return false;
        auto it = netlist_words().find(w[5]);
        if (it != netlist_words().end())
            netlist = it->second;
        else if (!number(w[5], &netlist))
            return false;
        m_project->m_partitions.push_back({w[1].toStdString(), type, netlist, w.size() == 7});
        return true;
    }

    bool node(const QStringList& w)
    {
        static const QRegularExpression shape(R"(^([^\[\]\s]+)((\[-?\d+\.\.-?\d+\]){0,2})$)");
        const QRegularExpressionMatch match = shape.match(w.value(1));
        if (w.size() < 2 || !match.hasMatch())
            return reject("\"" + w.value(1) + "\" is not a node path with at most two dimensions [msb..lsb]");
        PRJ_NODE node;
        node.path = match.captured(1).toStdString();
        if (!dimensions(match.captured(1), match.captured(2), &node))
            return false;
        if (!m_paths.insert(node.path).second)
            return reject("node \"" + match.captured(1) + "\" is given twice");
        for (int i = 2; i < w.size(); ++i) {
            if (w[i] == "behaviour") {
                node.behaviour = w.mid(i + 1).join(' ').toStdString();
                break;
            }
            if (!node_word(w[i], &node))
                return false;
        }
        if (!node.pre && !node.post)
            return reject("node \"" + match.captured(1) + "\" is in neither database (pre, post)");
        m_project->m_nodes.push_back(node);
        return true;
    }

    // The [msb..lsb] pairs after a node's path; the members they make count against the limit.
    bool dimensions(const QString& path, const QString& text, PRJ_NODE* node)
    {
        static const QRegularExpression dimension(R"(\[(-?\d+)\.\.(-?\d+)\])");
        long long members = 1;
        for (auto it = dimension.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch d = it.next();
            int msb = 0, lsb = 0;
            if (!bus_index(d.captured(1), &msb) || !bus_index(d.captured(2), &lsb))
                return false;
            node->dimensions.emplace_back(msb, lsb);
            members *= std::abs(static_cast<long long>(msb) - lsb) + 1;
        }
        const QString limit = QString::number(PRJ_MAX_NODE_MEMBERS);
        if (members > PRJ_MAX_NODE_MEMBERS)
            return reject("node \"" + path + "\" has " + QString::number(members) + " members, more than " + limit);
        m_members += members;
        return m_members <= PRJ_MAX_NODE_MEMBERS ||
               reject("node \"" + path + "\" brings the members of all nodes to more than " + limit);
    }

    bool node_word(const QString& word, PRJ_NODE* node)
    {
        auto type = type_words().find(word);
        if (type != type_words().end())
            node->flags |= type->second;
        else if (word == "pre")
            node->pre = true;
        else if (word == "post")
            node->post = true;
        else if (word == "untappable")
            node->tappable = false;
        else if (word == "excluded")
            node->excluded = true;
        else
            return reject("unknown node word \"" + word + "\"");
        return true;
    }

    PRJ_PROJECT* m_project;
    QString m_file;
    int m_line = 0;
    QString m_why;
    std::set<std::string> m_paths;
    long long m_members = 0;  // of the nodes so far
};

namespace {

// Adds a node to a database: the name itself, and for a bus or array its members.
void add_to_database(TOZ_NAMESPACE* db, const PRJ_NODE& node, bool post_fitting)
{
    const unsigned int flags = node.flags | (node.tappable ? TOZ_FLAG_TAPPABLE : 0) |
                               (node.excluded ? TOZ_FLAG_EXCLUDED : 0) | (post_fitting ? TOZ_FLAG_POST_FITTING : 0);
    const unsigned int bus_flags = node.flags | (post_fitting ? TOZ_FLAG_POST_FITTING : 0);
    TOZ_INSTANCE_NAME* name = db->add(node.path, node.dimensions.empty() ? flags : bus_flags);
    name->set_dimension(static_cast<int>(node.dimensions.size()));
    for (size_t d = 0; d < node.dimensions.size(); ++d)
        name->set_range(static_cast<int>(d), node.dimensions[d].first, node.dimensions[d].second);
    auto indexes = [](std::pair<int, int> d) {
        std::vector<int> out;
        for (int i = d.first;; i += d.first < d.second ? 1 : -1) {
            out.push_back(i);
            if (i == d.second)
                break;
        }
        return out;
    };
    if (node.dimensions.empty())
        return;
    for (int i : indexes(node.dimensions[0])) {
        const std::string row = node.path + "[" + std::to_string(i) + "]";
        if (node.dimensions.size() == 1) {
            db->add(row, flags);
            continue;
        }
        TOZ_INSTANCE_NAME* bus = db->add(row, bus_flags);
        bus->set_dimension(1);
        bus->set_range(0, node.dimensions[1].first, node.dimensions[1].second);
        for (int j : indexes(node.dimensions[1]))
            db->add(row + "[" + std::to_string(j) + "]", flags);
    }
}

}  // namespace

void PRJ_PROJECT::install() const
{
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    omu->open_project(QFileInfo(QString::fromStdString(m_path)).absolutePath().toStdString(), m_top);
    for (const auto& [variable, value] : m_assignments)
        omu->load_assignment(variable, value);
    if (!m_family.empty())
        omu->load_assignment(OMU_VAR_DEVICE_FAMILY, m_family);
    if (!m_device.empty())
        omu->load_assignment(OMU_VAR_DEVICE_PART, m_device);

    WOLPA_MANAGER* wolpa = WOLPA_MANAGER::get_wolpa_manager();
    wolpa->clear();
    for (int kind : {TOZ_KIND_PRE_SYNTHESIS, TOZ_KIND_POST_FITTING}) {
        auto db = std::make_unique<TOZ_NAMESPACE>(m_top, m_case_sensitive);
        for (const auto& [number, value] : m_compiled_assignments)
            db->set_assignment(number, value);
        for (const PRJ_NODE& node : m_nodes)
            if (kind == TOZ_KIND_PRE_SYNTHESIS ? node.pre : node.post)
                add_to_database(db.get(), node, kind == TOZ_KIND_POST_FITTING);
        wolpa->set_database(kind, std::move(db));
    }
    wolpa->set_revision_name(m_name);

    YEK_PARTITION_MANAGER* yek = YEK_PARTITION_MANAGER::get_instance(0, 0, 0);
    yek->clear();
    yek->get_project_info()->set_effective_incremental_compilation_mode(
        m_incremental ? YEK_INCREMENTAL_COMPILATION_ON : YEK_INCREMENTAL_COMPILATION_OFF);
    for (const PARTITION& p : m_partitions)
        yek->add_partition(p.path, p.type, p.netlist, p.fixed);
}

bool PRJ_PROJECT::open(const std::string& path, std::string* error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = "Cannot read project description \"" + path + "\": " + file.errorString().toStdString();
        return false;
    }
    auto project = std::make_unique<PRJ_PROJECT>();
    // Kept absolute: the working folder may change while the project is open.
    project->m_path = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    QTextStream in(&file);
    PRJ_READER reader(project.get(), QString::fromStdString(path));
    if (!reader.read(in, error))
        return false;
    close();
    project->install();
    open_project() = std::move(project);
    return true;
}

void PRJ_PROJECT::close()
{
    open_project().reset();
    OMU_MANAGER::get_omu_manager()->close_project();
    WOLPA_MANAGER::get_wolpa_manager()->clear();
    YEK_PARTITION_MANAGER::get_instance(0, 0, 0)->clear();
}

const PRJ_PROJECT* PRJ_PROJECT::get_open() { return open_project().get(); }

const PRJ_NODE* PRJ_PROJECT::find_node(const std::string& path) const
{
    for (const PRJ_NODE& node : m_nodes)
        if (node.path == path)
            return &node;
    return nullptr;
}
