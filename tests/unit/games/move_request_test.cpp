#include "games/move_request.h"

#include "games/reference_search.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace vendrel {
namespace {

TEST(MoveRequest, ReadsNumbersAndTextLikeScanf) {
    struct Case {
        std::string args;
        bool hasFlags;
        int side, unused, depth, flags;
        std::string position;
    };
    const Case cases[] = {
        {"0 0 4 0102", false, 0, 0, 4, 0, "0102"},
        {"1 7 6 3 0000", true, 1, 7, 6, 3, "0000"},
        // %d is decimal: a leading zero is not octal and "0x" stops after the 0.
        {"010 0 09 11", false, 10, 0, 9, 0, "11"},
        {"0x1 2 3 44", false, 0, 0, 0, 0, ""},
        // Signs, no blank needed between fields, any white space between them.
        {"+1-2\t\n3abc", false, 1, -2, 3, 0, "abc"},
        // Reading stops at the first field that does not fit; the rest stays 0 and empty.
        {"1 x 5 0000", false, 1, 0, 0, 0, ""},
        {"1 2", false, 1, 2, 0, 0, ""},
        {"", true, 0, 0, 0, 0, ""},
        {"1 2 3 - 12", true, 1, 2, 3, 0, ""},
        // Rule flags are a fourth number only for Reversi.
        {"1 2 3 4 5", false, 1, 2, 3, 0, "4"},
        // The text ends at white space or at a NUL byte.
        {"0 0 2 12 21", false, 0, 0, 2, 0, "12"},
        {std::string("0 0 2 12\0"
                     "21",
                     11),
         false, 0, 0, 2, 0, "12"},
        {std::string("0 0\0 2 12", 9), false, 0, 0, 0, 0, ""},
        // Out-of-range numbers saturate instead of wrapping.
        {"0 0 99999999999 1", false, 0, 0, 2147483647, 0, "1"},
        {"-99999999999 0 1 1", false, -2147483647 - 1, 0, 1, 0, "1"},
    };
    for (const Case& c : cases) {
        const MoveRequest request = parseMoveRequest(c.args, c.hasFlags);
        EXPECT_EQ(request.side, c.side) << c.args;
        EXPECT_EQ(request.unused, c.unused) << c.args;
        EXPECT_EQ(request.depth, c.depth) << c.args;
        EXPECT_EQ(request.flags, c.flags) << c.args;
        EXPECT_EQ(request.position, c.position) << c.args;
    }
}

TEST(MoveRequest, ConvertsPositionCharactersToCells) {
    struct Case {
        std::string text;
        std::array<int, 6> cells;
    };
    const Case cases[] = {
        {"012012", {-1, 0, 1, -1, 0, 1}},
        // Missing cells are pieces of side 0; characters beyond the board are ignored.
        {"2", {1, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0}},
        {"0000002", {-1, -1, -1, -1, -1, -1}},
        // Above '/' the value minus '1'; '/' and below keep their byte value.
        {"3a/!\x01\177", {2, 48, 47, 33, 1, 78}},
        // Bytes of UTF-8 sequences count as unsigned bytes on every platform.
        {"\xc3\xa9\xff\x80"
         "00",
         {146, 120, 206, 79, -1, -1}},
    };
    for (const Case& c : cases) {
        std::array<int, 6> cells{};
        cells.fill(55);
        readPosition(c.text, cells);
        EXPECT_EQ(cells, c.cells) << c.text;
    }
}

TEST(MoveRequest, AnswerIsInputBoxTwentyEight) {
    EXPECT_EQ(moveAnswer("3"), "inbx 28\1773");
    EXPECT_EQ(moveAnswer("-1"), "inbx 28\177-1");
    EXPECT_EQ(moveAnswer("63"), "inbx 28\17763");
    // One formatted answer of at most 28 bytes.
    EXPECT_EQ(moveAnswer(std::string(40, '9')), "inbx 28\177" + std::string(20, '9'));
}

// The literal sscanf reading in the reference agrees with ours wherever sscanf is defined
// (numbers inside the int range).
TEST(MoveRequest, AgreesWithScanfOnOddRequests) {
    const std::string requests[] = {
        "1 0 3 3 0210",   "  1   0   3  1  \t0210", "1 0 3 3",       "1 0 3 3 ",
        "-0 -0 -3 -3 x",  "1 0 3 3 \x80\x81",       "007 08 09 1 5", "1 0 3 +-3 5",
        "1\v0\f3\r3\n55", "1 0 3 3\t\t\t1 2 3",     "9 9 9 9 9999",  "1 0 3 3 /./-,+*",
    };
    for (const std::string& args : requests) {
        for (const bool isReversi : {false, true}) {
            const auto expected = reference::parseRequest(args, isReversi);
            const MoveRequest request = parseMoveRequest(args, isReversi);
            std::array<int, 64> cells{};
            readPosition(request.position, std::span(cells).first(isReversi ? 64 : 42));
            EXPECT_EQ(request.side, expected.side) << args;
            EXPECT_EQ(request.unused, expected.unused) << args;
            EXPECT_EQ(request.depth, expected.depth) << args;
            if (isReversi) {
                EXPECT_EQ(request.flags, expected.flags) << args;
            }
            EXPECT_TRUE(std::equal(expected.cells.begin(), expected.cells.end(), cells.begin()))
                << args;
        }
    }
}

} // namespace
} // namespace vendrel
