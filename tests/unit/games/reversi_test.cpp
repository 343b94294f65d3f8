#include "games/reversi.h"

#include <gtest/gtest.h>

#include <string>

#include "games/move_request.h"
#include "games/reference_search.h"
#include "games/reversi_bits.h"

namespace vendrel {
namespace {

// Rows from row 0, eight characters each, then empty cells.
std::string rows(const std::string& filled) {
    return filled + std::string(64 - filled.size(), '0');
}

const std::string kStart = rows(std::string(24, '0') + "00021000"
                                                       "00012000");
const std::string kLonePiece = rows(std::string(24, '0') + "00020000");

// The answers are checked in the literal search too: the differential test trusts it.
TEST(Reversi, AnswersTheRulesExamples) {
    const std::pair<std::string, std::string> cases[] = {
        {"0 0 1 0 " + kLonePiece, "18"}, // no flip rule: every move ties, the first wins
        {"0 0 1 2 " + kLonePiece, "-1"}, // the pass is tried first and wins the tie
        {"0 0 1 1 " + kLonePiece, "-1"}, // the flip rule and nothing to flip
        {"0 0 3 3 " + kLonePiece, "-1"},
        {"0 0 1 2 " + kStart, "19"}, // a flip beats the pass
        {"1 0 1 3 " + kStart, "20"},
        {"0 0 0 0 " + kStart, "-1"},
        // Walking right over side 1's whole row to the edge turns nothing; a walk that wrapped
        // into the next row would reach side 0's piece on cell 8.
        {"0 0 1 1 " + rows("02222222"
                           "10000000"),
         "-1"},
        {"1 0 1 0 0000000000", "1"},     // the cells after a short text are side 0's: no turning
        {"0 0 1 1 " + rows("1x0"), "2"}, // pieces of nobody are turned like the opponent's
    };
    for (const auto& [args, move] : cases) {
        EXPECT_EQ(reversiMove(args, {}), move) << args;
        EXPECT_EQ(reference::reversiMove(args), move) << args;
    }
    EXPECT_EQ(reversiMove("2 0 1 0 " + kStart, {}), "-1"); // sides that are not players
    EXPECT_EQ(reversiMove("-1 0 1 0 " + kStart, {}), "-1");
}

// Leaves of the move tree, to compare with the standard counts.
std::uint64_t perft(std::uint64_t own, std::uint64_t opponent, int depth, int flags) {
    using namespace reversi_bits;
    if (depth == 0) {
        return 1;
    }
    const bool mustFlip = (flags & kReversiMustFlip) != 0;
    std::uint64_t leaves =
        (flags & kReversiMayPass) != 0 && !mustFlip ? perft(opponent, own, depth - 1, flags) : 0;
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
// of moves in the first eight plies, so the standard counts hold. Without the flip rule every
// empty cell next to a piece is a move, and the pass adds one more.
TEST(Reversi, MoveGenerationCountsFromTheStart) {
    const std::uint64_t own = (std::uint64_t{1} << 28) | (std::uint64_t{1} << 35);
    const std::uint64_t opponent = (std::uint64_t{1} << 27) | (std::uint64_t{1} << 36);
    const std::uint64_t expected[] = {4, 12, 56, 244, 1396, 8200, 55092, 390216};
    for (int depth = 1; depth <= 8; ++depth) {
        EXPECT_EQ(perft(own, opponent, depth, kReversiMustFlip), expected[depth - 1]) << depth;
    }
    EXPECT_EQ(perft(own, opponent, 1, 0), 12u);
    EXPECT_EQ(perft(own, opponent, 1, kReversiMayPass), 13u);
}

TEST(Reversi, DeeperRequestsAreSearchedAtTheCap) {
    ReversiBoard board{};
    readPosition(kStart, board);
    const auto search = [&](int depth) {
        return searchReversi(board, depth, 0, kRootAlpha, kRootBeta, kReversiMustFlip)->nodes;
    };
    const std::uint64_t atCap = search(kReversiMaxDepth) / kPollNodes;
    ASSERT_GT(search(kReversiMaxDepth + 1) / kPollNodes, atCap); // the extra ply would show
    std::uint64_t polls = 0;
    EXPECT_TRUE(reversiMove("0 0 1000 1 " + kStart, [&] { return ++polls > 0; }));
    EXPECT_EQ(polls, atCap);
}

TEST(Reversi, AbandonedSearchGivesNoAnswer) {
    int polls = 0;
    EXPECT_FALSE(reversiMove("0 0 30 2 " + kStart, [&] { return ++polls < 2; }));
    EXPECT_EQ(polls, 2); // it stopped at the poll that said so
}

} // namespace
} // namespace vendrel
