// The module's message catalogue: one builder per message, named vokr_msg_ and the
// identifier's words in lower case. A builder returns a new message object that the caller
// posts or prompts and then deletes. An information or warning message that the user has
// suppressed is built empty.
#pragma once

#include "msg.h"

#include <cstddef>

#define VOKR_PARAMS_NONE ()
#define VOKR_PARAMS_S (const char* a1)
#define VOKR_PARAMS_SS (const char* a1, const char* a2)
#define VOKR_PARAMS_SSS (const char* a1, const char* a2, const char* a3)
#define VOKR_PARAMS_D (int a1)
#define VOKR_PARAMS_DS (int a1, const char* a2)

#define VOKR_MSG(type, number, name, args, literal) MSG_##type* vokr_msg_##name VOKR_PARAMS_##args;
#include "vokr_msg_catalogue.def"
#undef VOKR_MSG

// One row of the catalogue as data, for the start-up tables and for checks.
struct VOKR_MSG_INFO {
    const char* type;     // type letters
    unsigned int number;  // numeric identifier
    const char* name;     // builder suffix
    const char* args;     // placeholder kinds in number order, "NONE" for none
    const char* literal;  // "text/TYPEIDENT"
};

const VOKR_MSG_INFO* vokr_msg_catalogue(size_t* count);

// Builds the posted message (I, W or E) of that number that takes no arguments, as its builder
// does, except that `suppressible` false builds it whole even when the user suppressed it; null
// for a number that names no such message.
MSG_POST* vokr_msg_build_post(unsigned int number, bool suppressible);

// Prompts a built message, deletes it and returns the answer (Yes 6, No 7, Cancel 2).
int vokr_prompt(MSG_PROMPT* msg);
// Posts a built message and deletes it.
void vokr_post(MSG_POST* msg);
