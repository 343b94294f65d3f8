#include <gtest/gtest.h>

#include "app/app_state.h"

namespace vendrel {
namespace {

TEST(GameKeys, DefaultTable) {
    const GameKeyTable keys = defaultGameKeys();
    std::vector<int> on;
    for (int code = 0; code < 256; ++code) {
        if (keys[static_cast<std::size_t>(code)]) {
            on.push_back(code);
        }
    }
    std::vector<int> expected = {10, 13, 32, 46};
    for (int code = 48; code <= 57; ++code) {
        expected.push_back(code);
    }
    for (int code = 65; code <= 90; ++code) {
        expected.push_back(code);
    }
    for (int code = 96; code <= 135; ++code) {
        if (code != 116 && code != 117 && code != 118 && code != 119 && code != 121 &&
            code != 123) {
            expected.push_back(code);
        }
    }
    EXPECT_EQ(on, expected);
}

} // namespace
} // namespace vendrel
