#pragma once
// A broken rule (and the text it broke on) on standard error, then an abort, which libFuzzer
// keeps as a crash with the input.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vendrel::fuzzing {

[[noreturn]] inline void fail(const char* what, std::string_view context = {}) {
    std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(context.size()), context.data());
    std::abort();
}

} // namespace vendrel::fuzzing
