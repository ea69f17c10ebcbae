#include "vokr_msg.h"

#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace {

// The empty message that stands for a suppressed one; only information and warnings have one.
template <class MSG> struct SUPPRESSED_FORM {
    using type = void;
};
template <> struct SUPPRESSED_FORM<MSG_I> {
    using type = MSG_I_NULL;
};
template <> struct SUPPRESSED_FORM<MSG_W> {
    using type = MSG_W_NULL;
};

template <class MSG, class... ARGS>
MSG* build_checked(bool suppressible, unsigned int number, const char* literal, ARGS... args)
{
    using SUPPRESSED = typename SUPPRESSED_FORM<MSG>::type;
    if constexpr (!std::is_void_v<SUPPRESSED>) {
        if (suppressible && MSG_INDEX::get_default_index()->is_suppressed(number))
            return new SUPPRESSED(nullptr);
    }
    MSG* msg = new MSG(nullptr);
    msg->fill_args(literal, args...);
    msg->set_id(number);
    return msg;
}

template <class MSG, class... ARGS> MSG* build(unsigned int number, const char* literal, ARGS... args)
{
    return build_checked<MSG>(true, number, literal, args...);
}

const VOKR_MSG_INFO CATALOGUE[] = {
#define VOKR_MSG(type, number, name, args, literal) {#type, number, #name, #args, literal},
#include "vokr_msg_catalogue.def"
#undef VOKR_MSG
};

}  // namespace

#define VOKR_ARGS_NONE
#define VOKR_ARGS_S , a1
#define VOKR_ARGS_SS , a1, a2
#define VOKR_ARGS_SSS , a1, a2, a3
#define VOKR_ARGS_D , a1
#define VOKR_ARGS_DS , a1, a2

// NOLINTBEGIN(bugprone-macro-parentheses): the macro writes function definitions, where a type
// cannot stand in parentheses.
#define VOKR_MSG(type, number, name, args, literal) \
    MSG_##type* vokr_msg_##name VOKR_PARAMS_##args { return build<MSG_##type>(number, literal VOKR_ARGS_##args); }
#include "vokr_msg_catalogue.def"
#undef VOKR_MSG
// NOLINTEND(bugprone-macro-parentheses)

const VOKR_MSG_INFO* vokr_msg_catalogue(size_t* count)
{
    *count = sizeof(CATALOGUE) / sizeof(CATALOGUE[0]);
    return CATALOGUE;
}

MSG_POST* vokr_msg_build_post(unsigned int number, bool suppressible)
{
    for (const VOKR_MSG_INFO& row : CATALOGUE) {
        if (row.number != number || std::strcmp(row.args, "NONE") != 0)
            continue;
        const std::string type = row.type;
        if (type == "I")
            return build_checked<MSG_I>(suppressible, number, row.literal);
        if (type == "W")
            return build_checked<MSG_W>(suppressible, number, row.literal);
        if (type == "E")
            return build_checked<MSG_E>(suppressible, number, row.literal);
        return nullptr;
    }
    return nullptr;
}

int vokr_prompt(MSG_PROMPT* msg)
{
    std::unique_ptr<MSG_PROMPT> owned(msg);
    return owned->prompt();
}

void vokr_post(MSG_POST* msg)
{
    std::unique_ptr<MSG_POST> owned(msg);
    owned->post();
}
