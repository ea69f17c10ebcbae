// The suite's compilation flows by number, as the frame starts them and the compiler runs them.
#pragma once

using FSTR_FLOW_ENUM = int;
constexpr FSTR_FLOW_ENUM FSTR_FLOW_FULL_COMPILATION = 15;
constexpr FSTR_FLOW_ENUM FSTR_FLOW_FAST_RECOMPILATION = 80;
