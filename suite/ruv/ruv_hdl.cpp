// Latency coordination of the trigger levels and the Verilog writer of a level's logic.
#include "ruv.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <map>

void RUV_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(RUV_ADVANCED_TRIGGER_OUTPUT* const* roots, int* delays,
                                                                 int n)
{
    int slowest = 0;
    for (int i = 0; i < n; ++i)
        if (roots[i])
            slowest = std::max(slowest, roots[i]->get_pipeline_latency());
    for (int i = 0; i < n; ++i)
        delays[i] = roots[i] ? slowest - roots[i]->get_pipeline_latency() : 0;
}

namespace {

using NODE = RUV_ADVANCED_TRIGGER_BASE;

// Names in comments: control characters would end the comment's line.
std::string printable(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < ' ' || c == 127)
            c = '?';
    return out;
}

std::string joined_comment(const std::string& label, const std::string& remark)
{
    return label.empty() ? remark : label + " (" + remark + ")";
}

std::string range(int width) { return "[" + std::to_string(width - 1) + ":0]"; }

// A Verilog number of `width` bits with the constant's value.
std::string literal(const RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node)
{
    const auto value = static_cast<uint64_t>(node->get_value());
    const std::string width = std::to_string(node->get_bit_width());
    if (node->is_negative())
        return "-" + width + "'sd" + std::to_string(0 - value);
    return width + "'d" + std::to_string(value);
}

// Writes the body of one module: a wire per node, registers updated in one clocked block.
class RUV_HDL_WRITER {
public:
    RUV_HDL_WRITER(bool with_reset, bool with_enable) : m_with_reset(with_reset), m_with_enable(with_enable) {}

    std::string module(const std::string& name, RUV_ADVANCED_TRIGGER_OUTPUT* root, bool registered_output)
    {
        collect_design_nodes(root);
        std::string result = signal(root->get_input_connection_at(0));
        if (registered_output) {
            m_body += "    reg trigger_out_r;\n    assign trigger_out = trigger_out_r;\n";
            add_register("trigger_out_r", result);
        } else {
            m_body += "    assign trigger_out = " + result + ";\n";
        }
        std::string text = "// Trigger logic of one advanced trigger level.\n";
        for (size_t i = 0; i < m_design_nodes.size(); ++i)
            text += "//   node_in[" + std::to_string(i) + "]: " + printable(m_design_nodes[i]) + "\n";
        text += "module " + name + " (\n    input wire clk,\n";
        if (m_with_reset)
            text += "    input wire reset,\n";
        if (m_with_enable)
            text += "    input wire ena,\n";
        if (!m_design_nodes.empty())
            text += "    input wire " + range(static_cast<int>(m_design_nodes.size())) + " node_in,\n";
        text += "    output wire trigger_out\n);\n" + m_body + clocked_block() + "endmodule\n";
        return text;
    }

private:
    bool m_with_reset;
    bool m_with_enable;
    std::vector<std::string> m_design_nodes;
    std::map<std::string, int> m_design_index;
    std::string m_body;
    std::string m_updates;
    std::string m_resets;
    int m_count = 0;

    void collect_design_nodes(NODE* root)
    {
        for (RUV_ADVANCED_TRIGGER_ITERATOR it(root); !it.done(); it.next()) {
            if (it.item()->get_node_kind() == RUV_KIND_DESIGN_NODE)
                design_index(it.item()->get_name());
            else if (it.item()->get_node_kind() == RUV_KIND_IMBPM)
                for (const std::string& name : static_cast<RUV_ADVANCED_TRIGGER_IMBPM*>(it.item())->get_node_names())
                    design_index(name);
        }
    }

    int design_index(const std::string& name)
    {
        auto found = m_design_index.emplace(name, static_cast<int>(m_design_nodes.size()));
        if (found.second)
            m_design_nodes.push_back(name);
        return found.first->second;
    }

    static std::string joined(std::string left, const char* op, const std::string& right)
    {
        return left.append(op).append(right);
    }

    std::string wire(int width, const std::string& value, const std::string& comment = std::string())
    {
        std::string name = "n" + std::to_string(++m_count);
        m_body += "    wire " + range(width) + " " + name + " = " + value + ";" +
                  (comment.empty() ? "" : "  // " + printable(comment)) + "\n";
        return name;
    }

    std::string reg(int width, const std::string& name)
    {
        m_body += "    reg " + range(width) + " " + name + ";\n";
        return name;
    }

    void add_register(const std::string& name, const std::string& value)
    {
        m_updates += "            " + name + " <= " + value + ";\n";
        m_resets += "            " + name + " <= 0;\n";
    }

    std::string clocked_block() const
    {
        if (m_updates.empty())
            return std::string();
        std::string text = "    always @(posedge clk) begin\n";
        if (m_with_reset)
            text += "        if (reset) begin\n" + m_resets + "        end else";
        else
            text += "       ";
        text += m_with_enable ? " if (ena) begin\n" : " begin\n";
        return text + m_updates + "        end\n    end\n";
    }

    // `source` delayed by the node's delay, through a shift register.
    std::string delayed(const NODE* node, const std::string& source)
    {
        const int cycles = node->get_delay();
        const int width = node->get_bit_width();
        if (cycles <= 0)
            return source;
        const std::string pipe = reg(width * cycles, source + "_pipe");
        if (cycles == 1)
            add_register(pipe, source);
        else
            add_register(pipe, "{" + pipe + "[" + std::to_string(width * (cycles - 1) - 1) + ":0], " + source + "}");
        return wire(width,
                    pipe + "[" + std::to_string(width * cycles - 1) + ":" + std::to_string(width * (cycles - 1)) + "]",
                    std::to_string(cycles) + " clock(s) later");
    }

    std::string joined(const NODE* node, const char* separator)
    {
        std::string text;
        for (int i = 0; i < node->get_input_count(); ++i)
            text += (i ? separator : "") + signal(node->get_input_connection_at(i));
        return text;
    }

    // The signal that carries the node's output.
    std::string signal(NODE* node)
    {
        const int width = node->get_bit_width();
        const char* name = node->get_name();
        const std::string label = name ? name : "";
        switch (node->get_node_kind()) {
        case RUV_KIND_DESIGN_NODE:
            return delayed(node, wire(1, "node_in[" + std::to_string(design_index(label)) + "]", label));
        case RUV_KIND_INPUT_CONSTANT:
            return wire(width, literal(static_cast<RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node)), label);
        case RUV_KIND_INPUT_VARIABLE:
            return wire(width, literal(static_cast<RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node)),
                        joined_comment(label, "initial value of a run-time setting"));
        case RUV_KIND_BUS: {
            std::string members;
            for (int i = node->get_input_count() - 1; i >= 0; --i)
                members += signal(node->get_input_connection_at(i)) + (i ? ", " : "");
            return wire(width, "{" + members + "}", label);
        }
        case RUV_KIND_LOGICAL:
        case RUV_KIND_BITWISE: return wire(width, logic(static_cast<RUV_ADVANCED_TRIGGER_OPERATOR*>(node)), label);
        case RUV_KIND_UNARY: {
            const int op = static_cast<RUV_ADVANCED_TRIGGER_UNARY*>(node)->get_operation();
            const char* sign = op == RUV_LTYPE_AND ? "&" : op == RUV_LTYPE_OR ? "|" : "^";
            return wire(1, sign + signal(node->get_input_connection_at(0)), label);
        }
        case RUV_KIND_COMPARE_CONSTANT:
        case RUV_KIND_COMPARE_VARIABLE:
            return delayed(node, wire(1, compare(static_cast<RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*>(node)), label));
        case RUV_KIND_SHIFT: return wire(width, shift(static_cast<RUV_ADVANCED_TRIGGER_SHIFT*>(node)), label);
        case RUV_KIND_EVENT_COUNTER: return counter(static_cast<RUV_ADVANCED_TRIGGER_EVENT_COUNTER*>(node));
        case RUV_KIND_MBPM: {
            auto* mbpm = static_cast<RUV_ADVANCED_TRIGGER_MBPM*>(node);
            return delayed(node, pattern(signal(node->get_input_connection_at(0)), mbpm->get_pattern(), label));
        }
        case RUV_KIND_IMBPM: return imbpm(static_cast<RUV_ADVANCED_TRIGGER_IMBPM*>(node), label);
        case RUV_KIND_CUSTOM_HDL: return custom_hdl(static_cast<RUV_ADVANCED_TRIGGER_CUSTOM_HDL*>(node));
        default: return "1'b0";  // flow nodes never stand in an expression
        }
    }

    std::string logic(const RUV_ADVANCED_TRIGGER_OPERATOR* node)
    {
        switch (node->get_operation()) {
        case RUV_LTYPE_NOT: return "~" + signal(node->get_input_connection_at(0));
        case RUV_LTYPE_AND: return joined(node, " & ");
        case RUV_LTYPE_OR: return joined(node, " | ");
        default: return joined(node, " ^ ");
        }
    }

    std::string compare(const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node)
    {
        static const char* const signs[] = {" > ", " >= ", " < ", " <= ", " == ", " != "};
        std::string a = signal(node->get_input_connection_at(0));
        std::string b = signal(node->get_input_connection_at(1));
        if (node->get_operation() == RUV_CTYPE_TRUE || node->get_operation() == RUV_CTYPE_FALSE)
            return node->get_operation() == RUV_CTYPE_TRUE ? "1'b1" : "1'b0";
        if (node->get_signed_mode()) {
            a = "$signed(" + a + ")";
            b = "$signed(" + b + ")";
        }
        return a + signs[node->get_operation()] + b;
    }

    std::string shift(const RUV_ADVANCED_TRIGGER_SHIFT* node)
    {
        std::string a = signal(node->get_input_connection_at(0));
        const int width = node->get_bit_width();
        const int s = node->get_shift_amount();
        const bool right = node->get_shift_direction();
        if (node->get_operation() == RUV_STYPE_ROTATE) {
            const int r = right ? s % width : (width - s % width) % width;  // as a right rotation
            if (r == 0)
                return a;
            return "{" + a + "[" + std::to_string(r - 1) + ":0], " + a + "[" + std::to_string(width - 1) + ":" +
                   std::to_string(r) + "]}";
        }
        if (node->get_operation() == RUV_STYPE_ARITHMETIC && right)
            return "$signed(" + a + ") >>> " + std::to_string(s);
        return a + (right ? " >> " : " << ") + std::to_string(s);
    }

    // Continuous: counts clocks while the input stays true. Event: counts the clocks at which
    // it is true, starting again after reaching the value. State: counts every clock from the
    // first true input. True at the value; with hold, true from then on.
    std::string counter(const RUV_ADVANCED_TRIGGER_EVENT_COUNTER* node)
    {
        const std::string x = signal(node->get_input_connection_at(0));
        const std::string base = "n" + std::to_string(++m_count);
        const std::string count = reg(node->get_counter_width(), base + "_count");
        const std::string value =
            std::to_string(node->get_counter_width()) + "'d" + std::to_string(node->get_counter_value());
        const std::string at_value = "(" + count + " == " + value + ")";
        const std::string next = count + " + 1";
        if (node->get_mode() == RUV_ETYPE_CONTINUOUS) {
            add_register(count, x + " ? (" + at_value + " ? " + count + " : " + next + ") : 0");
        } else if (node->get_mode() == RUV_ETYPE_EVENT) {
            add_register(count, x + " ? (" + at_value + " ? 1 : " + next + ") : " + count);
        } else {
            const std::string started = reg(1, base + "_started");
            add_register(started, started + " | " + x);
            add_register(count, "(" + started + " | " + x + ") && !" + at_value + " ? " + next + " : " + count);
        }
        std::string result = at_value;
        if (node->get_hold_status()) {
            const std::string held = reg(1, base + "_held");
            add_register(held, held + " | " + at_value);
            result = held + " | " + at_value;
        }
        return wire(1, result, node->get_name() ? node->get_name() : "");
    }

    // True when every bit of `bits` meets its pattern character (the first for the most
    // significant bit); edges compare with the bits of the clock before.
    std::string pattern(const std::string& bits, const std::string& characters, const std::string& label)
    {
        const int width = static_cast<int>(characters.size());
        const std::string previous = bits + "_previous";
        bool uses_previous = false;
        std::string terms;
        for (int i = 0; i < width; ++i) {
            const std::string b = "[" + std::to_string(width - 1 - i) + "]";
            const std::string now = bits + b, before = previous + b;
            std::string term;
            switch (characters[i]) {
            case 'H':
            case 'h':
            case '1': term = now; break;
            case 'L':
            case 'l':
            case '0': term = "!" + now; break;
            case 'R':
            case 'r': term = joined(now, " & !", before); break;
            case 'F':
            case 'f': term = joined("!" + now, " & ", before); break;
            case 'E':
            case 'e': term = joined(now, " ^ ", before); break;
            default: continue;  // don't care
            }
            uses_previous = uses_previous || term.find(before) != std::string::npos;
            terms += (terms.empty() ? "(" : " &\n        (") + term + ")";
        }
        if (uses_previous)
            add_register(reg(width, previous), bits);
        return wire(1, terms.empty() ? "1'b1" : terms, label);
    }

    std::string imbpm(const RUV_ADVANCED_TRIGGER_IMBPM* node, const std::string& label)
    {
        const std::vector<std::string>& names = node->get_node_names();
        if (names.empty())
            return wire(1, "1'b1", joined_comment(label, "no incrementally routed nodes"));
        std::string members;
        for (size_t i = 0; i < names.size(); ++i)
            members += (i ? ", node_in[" : "node_in[") + std::to_string(design_index(names[i])) + "]";
        const int width = static_cast<int>(names.size());
        const std::string bits = wire(width, "{" + members + "}", "incrementally routed nodes");
        return delayed(node, pattern(bits, node->get_pattern(), label));
    }

    std::string custom_hdl(const RUV_ADVANCED_TRIGGER_CUSTOM_HDL* node)
    {
        const std::string data = signal(node->get_input_connection_at(0));
        std::string out = "n" + std::to_string(++m_count);
        const std::string bits = node->get_bitstream();
        m_body += "    wire [0:0] " + out + ";\n    " + node->get_module_name() + " ";
        if (!bits.empty())
            m_body += "#(.CONFIG_BITSTREAM(" + std::to_string(bits.size()) + "'b" + bits + ")) ";
        m_body += out + "_block (.clk(clk), .data_in(" + data + "), .trigger_out(" + out + "));\n";
        return out;
    }
};

}  // namespace

bool RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl(const QString& module_name,
                                                               RUV_ADVANCED_TRIGGER_OUTPUT* root, bool with_reset,
                                                               bool registered_output, bool with_enable,
                                                               const QString& directory)
{
    static const QRegularExpression identifier("^[A-Za-z_][A-Za-z0-9_$]*$");
    if (!root || root->get_input_count() != 1 || !identifier.match(module_name).hasMatch())
        return false;
    const std::string text =
        RUV_HDL_WRITER(with_reset, with_enable).module(module_name.toStdString(), root, registered_output);
    QSaveFile file(QDir(directory).filePath(module_name + ".v"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.data(), static_cast<qint64>(text.size()));
    return file.commit();
}
