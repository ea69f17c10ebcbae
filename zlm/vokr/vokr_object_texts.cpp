// The parameters of a box as the short texts that the expression, the box labels and the layout
// use, read through the current bank. Each returns a text of its own, made at its first use
// and overwritten by every later call.
#include "vokr_object.h"

namespace {

// A set value that is not blank, in decimal; "0" counts as no value.
QString nonzero_decimal(const VOKR_INT_SLOT& slot)
{
    return slot.set && !slot.blank && slot.value != 0 ? QString::number(slot.value) : QString();
}

// The word of an enumerated value in lower case; only the first letter with `initial`.
QString lower_word(int id, int value, bool initial)
{
    const char* word = vokr_int_property_words(id)->word(value);
    if (!word)
        return QString();
    const QString lower = QString::fromLatin1(word).toLower();
    return initial ? lower.left(1) : lower;
}

// The bits a value needs: 0 needs none.
int bit_length(uint32_t value)
{
    int bits = 0;
    for (; value; value >>= 1)
        ++bits;
    return bits;
}

}  // namespace

const QString& VOKR_OBJECT::get_data_delay(bool inherit) const
{
    static QString text;
    text.clear();
    if (!is_used_int(VOKR_INT_DATA_DELAY))
        return text;
    text = nonzero_decimal(m_property.get_int_value(VOKR_INT_DATA_DELAY, VOKR_BANK_CURRENT));
    if (inherit && text.isEmpty() && get_type() == VOKR_TYPE_NODE && m_parent && m_parent->get_type() == VOKR_TYPE_BUS)
        return m_parent->get_data_delay(false);
    return text;
}

const QString& VOKR_OBJECT::get_pipeline() const
{
    static QString text;
    text = nonzero_decimal(m_property.get_int_value(VOKR_INT_PIPELINE_LENGTH, VOKR_BANK_CURRENT));
    return text;
}

const QString& VOKR_OBJECT::get_counter_value(uint32_t* code, VOKR_OBJECT** object)
{
    static QString text;
    text.clear();
    const VOKR_INT_SLOT& slot = m_property.get_int_value(VOKR_INT_COUNTER_VALUE, VOKR_BANK_CURRENT);
    if (!slot.set || slot.blank)
        return text;
    auto problem = [&](uint32_t found) {
        if (code) {
            *code = found;
            if (object)
                *object = this;
        }
    };
    int max = m_property[VOKR_INT_MAX_COUNTER_VALUE];
    if (max < 1) {
        max = 1;
        problem(VOKR_ELEMENT_MAX_COUNTER_VALUE);
    }
    int value = slot.value;
    if (value > max) {
        value = max;
        problem(VOKR_ELEMENT_COUNTER_OVER_MAX);
    } else if (value < 1) {
        value = 1;
        problem(VOKR_ELEMENT_COUNTER_VALUE);
    }
    text = QString::number(value);
    return text;
}

// Counted in whole bits, so that a maximum of 2^n - 1 needs exactly n bits.
const QString& VOKR_OBJECT::get_counter_width() const
{
    static QString text;
    const int max = m_property[VOKR_INT_MAX_COUNTER_VALUE];
    constexpr int WIDEST = 2147483646;
    const int width = max < 1 ? 1 : max >= WIDEST ? 31 : bit_length(static_cast<uint32_t>(max));
    text = QString::number(width);
    return text;
}

const QString& VOKR_OBJECT::get_counter_type() const
{
    static QString text;
    text = lower_word(VOKR_INT_COUNTER_TYPE, m_property[VOKR_INT_COUNTER_TYPE], true);
    return text;
}

const QString& VOKR_OBJECT::get_counter_hold() const
{
    static QString text;
    const VOKR_INT_SLOT& slot = m_property.get_int_value(VOKR_INT_COUNTER_HOLD, VOKR_BANK_CURRENT);
    text = slot.set && !slot.blank && slot.value == 0 ? "1" : "0";
    return text;
}

const QString& VOKR_OBJECT::get_shift_type() const
{
    static QString text;
    text = lower_word(VOKR_INT_SHIFT_TYPE, m_property[VOKR_INT_SHIFT_TYPE], false);
    return text;
}

const QString& VOKR_OBJECT::get_shift_direction() const
{
    static QString text;
    text = lower_word(VOKR_INT_SHIFT_DIRECTION, m_property[VOKR_INT_SHIFT_DIRECTION], false);
    return text;
}

const QString& VOKR_OBJECT::get_shift_distance() const
{
    static QString text;
    int distance = m_property[VOKR_INT_SHIFT_DISTANCE];
    if (distance <= 0) {
        text = "0";
        return text;
    }
    const int input_width = get_input_width();
    if (input_width != VOKR_WIDTH_UNKNOWN && distance > input_width)
        distance = input_width;
    text = QString::number(distance);
    return text;
}

bool VOKR_OBJECT::get_string_property_text(int id, QString* text, int bank) const
{
    const VOKR_STRING_SLOT& slot = m_property.get_string_value(id, bank);
    *text = slot.set ? slot.text : QString();
    return true;
}
