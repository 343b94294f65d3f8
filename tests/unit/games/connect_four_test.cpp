#include "games/connect_four.h"

#include <gtest/gtest.h>

#include <string>

#include "games/move_request.h"
#include "games/reference_search.h"

namespace vendrel {
namespace {

const std::string kEmpty(42, '0');

// Rows from the first to fill, seven characters each, then empty cells.
std::string rows(const std::string& filled) {
    return filled + std::string(42 - filled.size(), '0');
}

// Every column alternates upwards and pairs of columns swap, so no line holds four alike.
std::string fullBoardWithoutFour() {
    std::string text;
    for (int i = 0; i < 42; ++i) {
        text += (i % 7 / 2 + i / 7) % 2 != 0 ? '2' : '1';
    }
    return text;
}

// The answers are checked in the literal search too: the differential test trusts it.
TEST(ConnectFour, AnswersTheRulesExamples) {
    const std::string threeInColumn3 = rows("2201020"
                                            "0001000"
                                            "0001000");
    std::string withHoles = fullBoardWithoutFour();
    withHoles[6] = withHoles[13] = '0';
    const std::pair<std::string, std::string> cases[] = {
        {"0 0 1 " + kEmpty, "0"}, // every column ties: the lowest wins
        {"0 0 0 " + kEmpty, "-1"},
        {"0 0 2 " + threeInColumn3, "3"},
        {"1 0 3 " + threeInColumn3, "3"}, // sees the loss and blocks it
        {"1 0 3 " + rows("1111000"), "-1"},
        {"0 0 3 " + rows("xxxx000"), "-1"}, // four of nobody's pieces end the game too
        {"0 0 5 " + fullBoardWithoutFour(), "-1"},
        {"1 0 3 0000000000", "-1"},  // the cells after a short text are side 0's: four in row 1
        {"0 0 1 " + withHoles, "6"}, // a hole below pieces is where the next piece lands
    };
    for (const auto& [args, move] : cases) {
        EXPECT_EQ(connectFourMove(args, {}), move) << args;
        EXPECT_EQ(reference::connectFourMove(args), move) << args;
    }
    // A side whose pieces would be empty cells (-1), or whose opponent's would (2), is refused.
    EXPECT_EQ(connectFourMove("-1 0 3 " + kEmpty, {}), "-1");
    EXPECT_EQ(connectFourMove("2 0 3 " + kEmpty, {}), "-1");
}

TEST(ConnectFour, DeeperRequestsAreSearchedAtTheCap) {
    // Fifteen empty cells in three columns: the tree still grows past the cap, yet stays small.
    std::string position = fullBoardWithoutFour();
    for (std::size_t row = 1; row < 6; ++row) {
        position.replace(7 * row, 3, "000");
    }
    ConnectFourBoard board{};
    readPosition(position, board);
    const auto search = [&](int depth) {
        return searchConnectFour(board, depth, 0, kRootAlpha, kRootBeta)->nodes;
    };
    const std::uint64_t atCap = search(kConnectFourMaxDepth) / kPollNodes;
    ASSERT_GT(search(kConnectFourMaxDepth + 1) / kPollNodes, atCap); // the extra ply would show
    std::uint64_t polls = 0;
    EXPECT_TRUE(connectFourMove("0 0 1000 " + position, [&] { return ++polls > 0; }));
    EXPECT_EQ(polls, atCap);
}

TEST(ConnectFour, AbandonedSearchGivesNoAnswer) {
    int polls = 0;
    EXPECT_FALSE(connectFourMove("0 0 40 " + kEmpty, [&] { return ++polls < 3; }));
    EXPECT_EQ(polls, 3); // it stopped at the poll that said so
    // Searches small enough to end before any poll still answer.
    EXPECT_EQ(connectFourMove("0 0 2 " + kEmpty, [] { return false; }), "0");
}

} // namespace
} // namespace vendrel
