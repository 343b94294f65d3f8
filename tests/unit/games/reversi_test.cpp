#include "games/reversi.h"

#include "games/reference_search.h"
#include "games/reversi_bits.h"

#include <gtest/gtest.h>

#include <string>

namespace vendrel {
namespace {

// Rows from row 0, eight characters each; the rest of the board empty.
std::string rows(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
    }
    return text + std::string(64 - text.size(), '0');
}

const std::string kStart = rows({"00000000", "00000000", "00000000", "00021000", "00012000"});
const std::string kLonePiece = rows({"00000000", "00000000", "00000000", "00020000"});
// Side 0's move on cell 0 walks right over side 1's whole row to the edge: it turns nothing.
// (A walk that wrapped into the next row would reach side 0's piece on cell 8.)
const std::string kWalkToEdge = rows({"02222222", "10000000"});

TEST(Reversi, AnswersTheRulesExamples) {
    struct Case {
        const char* what;
        std::string args;
        std::string move;
    };
    const Case cases[] = {
        {"no flip rule: every move ties, the first candidate", "0 0 1 0 " + kLonePiece, "18"},
        {"pass tried first wins the tie", "0 0 1 2 " + kLonePiece, "-1"},
        {"flip rule and nothing to flip", "0 0 1 1 " + kLonePiece, "-1"},
        {"flags 3 and nothing to flip", "0 0 3 3 " + kLonePiece, "-1"},
        {"a flip beats the pass", "0 0 1 2 " + kStart, "19"},
        {"flip rule from the start", "0 0 1 1 " + kStart, "19"},
        {"flags 3 from the start", "1 0 1 3 " + kStart, "20"},
        {"depth 0 chooses nothing", "0 0 0 0 " + kStart, "-1"},
        {"walk to the edge turns nothing", "0 0 1 1 " + kWalkToEdge, "-1"},
        // Cells after a short text are side 0's pieces; side 1 can only put down, not turn.
        {"ten characters", "1 0 1 0 0000000000", "1"},
        // Pieces of nobody are walked over and turned like the opponent's.
        {"nobody's piece turned", "0 0 1 1 " + rows({"1x0"}), "2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reversiMove(c.args, {}), c.move) << c.what;
        EXPECT_EQ(reference::reversiMove(c.args), c.move) << c.what;
    }
}

ReversiBoard boardOf(const std::string& text) {
    ReversiBoard board{};
    for (std::size_t i = 0; i < 64; ++i) {
        board[i] = text[i] - '1';
    }
    return board;
}

// With both flags no move is taken, and the node keeps its start value: the pass is never
// tried, not tried and tied.
TEST(Reversi, FlagsThreeWithoutFlipsHasNoMoveAtAll) {
    for (const std::string& text : {kLonePiece, kWalkToEdge}) {
        const auto outcome = searchReversi(boardOf(text), 2, 0, kRootAlpha, kRootBeta, 3);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->value, kNoMoveValue);
        EXPECT_EQ(outcome->move, kNoMove);
    }
}

TEST(Reversi, RefusesSidesThatAreNotPlayers) {
    EXPECT_EQ(reversiMove("2 0 1 0 " + kStart, {}), "-1");
    EXPECT_EQ(reversiMove("-1 0 1 0 " + kStart, {}), "-1");
}

std::uint64_t perft(std::uint64_t own, std::uint64_t opponent, int depth, int flags) {
    using namespace reversi_bits;
    if (depth == 0) {
        return 1;
    }
    const bool mustFlip = (flags & 1) != 0;
    std::uint64_t leaves =
        (flags & 2) != 0 && !mustFlip ? perft(opponent, own, depth - 1, flags) : 0;
    for (std::uint64_t left = candidateCells(own | opponent); left != 0; left &= left - 1) {
        const std::uint64_t cell = left & (0 - left);
        const std::uint64_t turned = flips(std::countr_zero(cell), own, opponent);
        if (turned != 0 || !mustFlip) {
            leaves += perft(opponent & ~turned, own | cell | turned, depth - 1, flags);
        }
    }
    return leaves;
}

// With the flip rule and no pass the moves are standard Reversi moves, and no side runs out
// of moves in the first eight plies, so the standard counts hold.
TEST(Reversi, MoveGenerationCountsFromTheStart) {
    const std::uint64_t own = (std::uint64_t{1} << 28) | (std::uint64_t{1} << 35);
    const std::uint64_t opponent = (std::uint64_t{1} << 27) | (std::uint64_t{1} << 36);
    const std::uint64_t expected[] = {4, 12, 56, 244, 1396, 8200, 55092, 390216};
    for (int depth = 1; depth <= 8; ++depth) {
        EXPECT_EQ(perft(own, opponent, depth, kReversiMustFlip), expected[depth - 1]) << depth;
    }
    // Without the flip rule every empty cell next to a piece is a move, and the pass adds one
    // more.
    EXPECT_EQ(perft(own, opponent, 1, 0), 12u);
    EXPECT_EQ(perft(own, opponent, 1, kReversiMayPass), 13u);
}

int pollsFor(const std::string& args) {
    int polls = 0;
    EXPECT_TRUE(reversiMove(args, [&] {
        ++polls;
        return true;
    }));
    return polls;
}

TEST(Reversi, DeeperRequestsAreSearchedAtTheCap) {
    const auto searchPolls = [](int depth) {
        int polls = 0;
        EXPECT_TRUE(
            searchReversi(boardOf(kStart), depth, 0, kRootAlpha, kRootBeta, kReversiMustFlip, [&] {
                ++polls;
                return true;
            }));
        return polls;
    };
    const int atCap = searchPolls(kReversiMaxDepth);
    ASSERT_GT(searchPolls(kReversiMaxDepth + 1), atCap); // the extra ply would show
    EXPECT_EQ(pollsFor("0 0 1000 1 " + kStart), atCap);
}

TEST(Reversi, AbandonedSearchGivesNoAnswer) {
    int polls = 0;
    const KeepSearching stopAtSecondPoll = [&] {
        return ++polls < 2;
    };
    EXPECT_FALSE(reversiMove("0 0 30 2 " + kStart, stopAtSecondPoll));
    EXPECT_EQ(polls, 2);
    polls = 0;
    EXPECT_FALSE(searchReversi(boardOf(kStart), 30, 1, kRootAlpha, kRootBeta, 0, stopAtSecondPoll));
    EXPECT_EQ(polls, 2);
}

} // namespace
} // namespace vendrel
