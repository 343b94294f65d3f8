#include "games/move_request.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "games/reference_search.h"

namespace vendrel {
namespace {

// The literal sscanf reading in the reference agrees with ours wherever sscanf is defined
// (numbers inside the int range): leading zeros are decimal and "0x" stops after the 0; signs,
// any white space and none between fields; reading stops at the first field that does not fit;
// the text ends at white space or a NUL byte; position bytes are unsigned on every platform.
TEST(MoveRequest, ReadsLikeScanf) {
    const std::string requests[] = {
        "1 7 6 3 0102",
        "010 0 09 11",
        "0x1 2 3 44",
        "+1-2\t\n3abc",
        "1\v0\f3\r3\n55",
        "1 x 5 0000",
        "1 2",
        "",
        "1 2 3 +-3 5",
        std::string("0 0 2 12\0 21", 11),
        std::string("0 0\0 2 12", 9),
        "1 0 3 3 \xc3\xa9\xff\x80/!\x01\x7f"
        "3a",
    };
    for (const std::string& args : requests) {
        for (const bool isReversi : {false, true}) {
            const auto expected = reference::parseRequest(args, isReversi);
            const MoveRequest request = parseMoveRequest(args, isReversi);
            std::array<int, 64> cells{};
            readPosition(request.position, std::span(cells).first(isReversi ? 64 : 42));
            EXPECT_EQ(std::tuple(request.side, request.unused, request.depth, request.flags),
                      std::tuple(expected.side, expected.unused, expected.depth, expected.flags))
                << args;
            EXPECT_TRUE(std::equal(expected.cells.begin(), expected.cells.end(), cells.begin()))
                << args;
        }
    }
}

// Where sscanf is undefined, out-of-range numbers saturate instead of wrapping.
TEST(MoveRequest, OutOfRangeNumbersSaturate) {
    const MoveRequest request = parseMoveRequest("-99999999999 0 99999999999 1", false);
    EXPECT_EQ(std::pair(request.side, request.depth), std::pair(-2147483647 - 1, 2147483647));
}

TEST(MoveRequest, AnswerIsInputBoxTwentyEightCutTo28Bytes) {
    EXPECT_EQ(moveAnswer("-1"), "inbx 28\177-1");
    EXPECT_EQ(moveAnswer(std::string(40, '9')), "inbx 28\177" + std::string(20, '9'));
}

} // namespace
} // namespace vendrel
