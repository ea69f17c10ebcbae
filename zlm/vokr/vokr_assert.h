// Internal errors: a broken invariant is reported with its condition, the module tag, the
// source file and the line, and the process ends.
#pragma once

#include "msg.h"

// The source path from "zlm/vokr/" on, whatever directory the build ran in.
constexpr const char* vokr_source_path(const char* file)
{
    const char* found = file;
    for (const char* p = file; *p; ++p)
        if (p[0] == 'z' && p[1] == 'l' && p[2] == 'm' && p[3] == '/' && p[4] == 'v' && p[5] == 'o' && p[6] == 'k' &&
            p[7] == 'r' && p[8] == '/')
            found = p;
    return found;
}

#define VOKR_INTERNAL_ERROR(text) MSG_INTERNAL_ERROR::report((text), "VOKR", vokr_source_path(__FILE__), __LINE__)

#define VOKR_ASSERT_TEXT(cond, text)   \
    do {                               \
        if (!(cond))                   \
            VOKR_INTERNAL_ERROR(text); \
    } while (0)

#define VOKR_ASSERT(cond) VOKR_ASSERT_TEXT(cond, #cond)
