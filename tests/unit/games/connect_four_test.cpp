#include "games/connect_four.h"

#include "games/reference_search.h"

#include <gtest/gtest.h>

#include <string>

namespace vendrel {
namespace {

const std::string kEmpty(42, '0');

// Rows from the first to fill, seven characters each.
std::string rows(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
    }
    return text + std::string(42 - text.size(), '0');
}

// Every column alternates upwards and pairs of columns swap, so no line holds four alike.
std::string fullBoardWithoutFour() {
    std::string text(42, '1');
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 7; ++x) {
            text[static_cast<std::size_t>(x + 7 * y)] = ((x / 2 + y) % 2) != 0 ? '2' : '1';
        }
    }
    return text;
}

TEST(ConnectFour, AnswersTheRulesExamples) {
    struct Case {
        const char* what;
        std::string args;
        std::string move;
    };
    const std::string threeInColumn3 = rows({"2201020", "0001000", "0001000"});
    std::string withHoles = fullBoardWithoutFour();
    withHoles[6] = withHoles[13] = '0';
    const Case cases[] = {
        {"empty board, every column ties, the lowest wins", "0 0 1 " + kEmpty, "0"},
        {"depth 0 chooses nothing", "0 0 0 " + kEmpty, "-1"},
        {"side 0 completes four", "0 0 2 " + threeInColumn3, "3"},
        {"side 0 completes four deeper", "0 0 4 " + threeInColumn3, "3"},
        {"side 1 sees the loss and blocks it", "1 0 3 " + threeInColumn3, "3"},
        {"four already on the board", "1 0 3 " + rows({"1111000"}), "-1"},
        {"four of nobody's pieces", "0 0 3 " + rows({"xxxx000"}), "-1"},
        {"full board", "0 0 5 " + fullBoardWithoutFour(), "-1"},
        // Cells after a short text are side 0's pieces: row 1 then holds four of them.
        {"ten characters", "1 0 3 0000000000", "-1"},
        // A hole below pieces is where the next piece lands; only column 6 has one.
        {"lands in a hole", "0 0 1 " + withHoles, "6"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connectFourMove(c.args, {}), c.move) << c.what;
        EXPECT_EQ(reference::connectFourMove(c.args), c.move) << c.what;
    }
}

// A side whose pieces would be empty cells (-1) or whose opponent's would (2) is refused.
TEST(ConnectFour, RefusesSidesThatAreNotPlayers) {
    for (const char* side : {"-1", "2"}) {
        EXPECT_EQ(connectFourMove(std::string(side) + " 0 3 " + kEmpty, {}), "-1") << side;
    }
    EXPECT_EQ(connectFourMove("1 0 1 " + kEmpty, {}), "0");
}

int pollsFor(const std::string& args) {
    int polls = 0;
    EXPECT_TRUE(connectFourMove(args, [&] {
        ++polls;
        return true;
    }));
    return polls;
}

TEST(ConnectFour, DeeperRequestsAreSearchedAtTheCap) {
    // Fifteen empty cells in three columns: the tree still grows past the cap, yet stays small.
    std::string position = fullBoardWithoutFour();
    for (std::size_t x = 0; x < 3; ++x) {
        for (std::size_t y = 1; y < 6; ++y) {
            position[x + 7 * y] = '0';
        }
    }
    ConnectFourBoard board{};
    for (std::size_t i = 0; i < 42; ++i) {
        board[i] = position[i] - '1';
    }
    const auto searchPolls = [&](int depth) {
        int polls = 0;
        EXPECT_TRUE(searchConnectFour(board, depth, 0, kRootAlpha, kRootBeta, [&] {
            ++polls;
            return true;
        }));
        return polls;
    };
    const int atCap = searchPolls(kConnectFourMaxDepth);
    ASSERT_GT(searchPolls(kConnectFourMaxDepth + 1), atCap); // the extra ply would show
    EXPECT_EQ(pollsFor("0 0 1000 " + position), atCap);
    EXPECT_EQ(pollsFor("0 0 2147483647 " + position), atCap);
}

TEST(ConnectFour, AbandonedSearchGivesNoAnswer) {
    int polls = 0;
    const KeepSearching stopAtThirdPoll = [&] {
        return ++polls < 3;
    };
    EXPECT_FALSE(connectFourMove("0 0 40 " + kEmpty, stopAtThirdPoll));
    EXPECT_EQ(polls, 3); // it stopped at the poll that said so

    polls = 0;
    ConnectFourBoard empty;
    empty.fill(-1);
    EXPECT_FALSE(searchConnectFour(empty, 40, 1, kRootAlpha, kRootBeta, stopAtThirdPoll));
    EXPECT_EQ(polls, 3);

    // Searches small enough to end before any poll still answer.
    const KeepSearching never = [] {
        return false;
    };
    EXPECT_EQ(connectFourMove("0 0 2 " + kEmpty, never), "0");
}

} // namespace
} // namespace vendrel
