// The bitboard searches against the literal ones on many random requests: reachable and
// impossible positions, short and over-long texts, odd characters, both sides (and a few
// stranger ones), every rule flag, depths 0 to 6 and narrow windows. Move, value and the
// number of nodes must all agree: the last proves the same tree was walked.

#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reference_search.h"
#include "games/reversi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vendrel {
namespace {

using Rng = std::mt19937;

int below(Rng& rng, int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

// Characters that are not white space or NUL (those end the text before it reaches a cell).
char oddCharacter(Rng& rng) {
    static const char kOdd[] = {'0',    '0',    '0',    '1',    '2',    '3',    '/', '!', 'x',
                                '\x01', '\x02', '\x7f', '\x80', '\xc3', '\xff', '`', '?'};
    return kOdd[below(rng, sizeof kOdd)];
}

std::string reachableConnectFour(Rng& rng) {
    reference::C4Board board;
    board.fill(-1);
    const int moves = below(rng, 43);
    for (int n = 0; n < moves && !reference::connectFourHasFour(board); ++n) {
        const int x = below(rng, 7);
        const int y = reference::connectFourDropRow(board, x);
        if (y >= 0) {
            board[static_cast<std::size_t>(x + 7 * y)] = n % 2;
        }
    }
    std::string text;
    for (const int cell : board) {
        text += static_cast<char>('1' + cell);
    }
    return text;
}

std::string reachableReversi(Rng& rng) {
    reference::RvBoard board;
    board.fill(-1);
    board[27] = board[36] = 1;
    board[28] = board[35] = 0;
    int side = 0;
    const int moves = below(rng, 61);
    for (int n = 0; n < moves; ++n) {
        std::vector<int> legal;
        for (const int cell : reference::reversiCandidates(board, 0)) {
            reference::RvBoard copy = board;
            if (reference::reversiPlay(copy, cell, side) > 0) {
                legal.push_back(cell);
            }
        }
        if (!legal.empty()) {
            reference::reversiPlay(
                board, legal[static_cast<std::size_t>(below(rng, static_cast<int>(legal.size())))],
                side);
        }
        side = 1 - side;
    }
    std::string text;
    for (const int cell : board) {
        text += static_cast<char>('1' + cell);
    }
    return text;
}

std::string randomText(Rng& rng, bool isReversi) {
    const std::size_t cells = isReversi ? 64 : 42;
    std::string text;
    switch (below(rng, 4)) {
    case 0:
    case 1:
        text = isReversi ? reachableReversi(rng) : reachableConnectFour(rng);
        break;
    case 2:
        for (std::size_t i = 0; i < cells; ++i) {
            text += "00012"[below(rng, 5)];
        }
        break;
    default:
        for (std::size_t i = 0; i < cells; ++i) {
            text += oddCharacter(rng);
        }
        break;
    }
    if (below(rng, 8) == 0) {
        text.resize(static_cast<std::size_t>(below(rng, static_cast<int>(cells))));
    } else if (below(rng, 8) == 0) {
        text += "1221";
    }
    return text;
}

int randomSide(Rng& rng) {
    static const int kStrange[] = {3, -2, 5, 47, 71, -5};
    return below(rng, 12) == 0 ? kStrange[below(rng, 6)] : below(rng, 2);
}

std::string number(Rng& rng, int value) {
    const char* const forms[] = {"%d", "+%d", "0%d", "%d"};
    const char* form = value >= 0 ? forms[below(rng, 4)] : "%d";
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, form, value);
    static const char* const kSeparators[] = {" ", "  ", "\t"};
    return kSeparators[below(rng, 3)] + std::string(buffer);
}

struct Window {
    int alpha = kRootAlpha;
    int beta = kRootBeta;
};

Window randomWindow(Rng& rng) {
    if (below(rng, 6) != 0) {
        return {};
    }
    const int alpha = below(rng, 4001) - 2000;
    return {alpha, alpha + below(rng, 3000) - 500}; // sometimes empty or upside down
}

// Deep searches of wide-open positions are rare but slow in the literal search: step the
// depth down until the tree stays small. Refusing to go on at the first poll stops a trial
// that would grow large early.
template <typename Search> int affordableDepth(int depth, std::uint64_t maxNodes, Search&& search) {
    const KeepSearching stop = [] {
        return false;
    };
    while (depth > 0) {
        const auto trial = search(depth, stop);
        if (trial && trial->nodes <= maxNodes) {
            break;
        }
        --depth;
    }
    return depth;
}

int randomDepth(Rng& rng) {
    static const int kDepths[] = {0, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 5, 6};
    return kDepths[below(rng, sizeof kDepths / sizeof kDepths[0])];
}

// Stepping depths down must not quietly leave the deep searches untested.
void expectEveryDepthCovered(const int (&depthCounts)[7]) {
    for (int depth = 0; depth <= 6; ++depth) {
        EXPECT_GE(depthCounts[depth], 100) << "depth " << depth;
    }
}

TEST(GamesDifferential, ConnectFourBitboardsMatchTheLiteralSearch) {
    Rng rng(20240611);
    int depthCounts[7] = {};
    for (int round = 0; round < 10000; ++round) {
        const std::string text = randomText(rng, false);
        const int side = randomSide(rng);
        const Window window = randomWindow(rng);
        reference::C4Board board{};
        readPosition(text, board);
        const int depth =
            affordableDepth(randomDepth(rng), 3000, [&](int d, const KeepSearching& stop) {
                return searchConnectFour(board, d, side, window.alpha, window.beta, stop);
            });
        const std::string args = number(rng, side).substr(1) + number(rng, below(rng, 100)) +
                                 number(rng, depth) + " " + text;
        SCOPED_TRACE(args);

        const auto parsed = reference::parseRequest(args, false);
        ASSERT_EQ(parsed.side, side);
        ASSERT_EQ(parsed.depth, depth);
        ASSERT_TRUE(std::equal(board.begin(), board.end(), parsed.cells.begin()));

        std::uint64_t nodes = 0;
        int move = -1;
        const int value = reference::searchConnectFour(board, depth, side, window.alpha,
                                                       window.beta, &move, &nodes);
        const auto outcome = searchConnectFour(board, depth, side, window.alpha, window.beta);
        ASSERT_TRUE(outcome);
        ASSERT_EQ(outcome->value, value);
        ASSERT_EQ(outcome->move, move);
        ASSERT_EQ(outcome->nodes, nodes);
        ++depthCounts[depth];
        if (window.alpha == kRootAlpha) {
            ASSERT_EQ(connectFourMove(args, {}), std::to_string(move));
        }
    }
    expectEveryDepthCovered(depthCounts);
}

TEST(GamesDifferential, ReversiBitboardsMatchTheLiteralSearch) {
    Rng rng(19710503);
    int depthCounts[7] = {};
    for (int round = 0; round < 10000; ++round) {
        const std::string text = randomText(rng, true);
        const int side = randomSide(rng);
        const int flags = below(rng, 10) == 0 ? below(rng, 16) - 4 : below(rng, 4);
        const Window window = randomWindow(rng);
        reference::RvBoard board{};
        readPosition(text, board);
        const int depth =
            affordableDepth(randomDepth(rng), 2000, [&](int d, const KeepSearching& stop) {
                return searchReversi(board, d, side, window.alpha, window.beta, flags, stop);
            });
        const std::string args = number(rng, side).substr(1) + number(rng, below(rng, 100)) +
                                 number(rng, depth) + number(rng, flags) + " " + text;
        SCOPED_TRACE(args);

        const auto parsed = reference::parseRequest(args, true);
        ASSERT_EQ(parsed.side, side);
        ASSERT_EQ(parsed.depth, depth);
        ASSERT_EQ(parsed.flags, flags);
        ASSERT_TRUE(std::equal(board.begin(), board.end(), parsed.cells.begin()));

        std::uint64_t nodes = 0;
        int move = -1;
        const int value = reference::searchReversi(board, depth, side, window.alpha, window.beta,
                                                   &move, flags, &nodes);
        const auto outcome = searchReversi(board, depth, side, window.alpha, window.beta, flags);
        ASSERT_TRUE(outcome);
        ASSERT_EQ(outcome->value, value);
        ASSERT_EQ(outcome->move, move);
        ASSERT_EQ(outcome->nodes, nodes);
        ++depthCounts[depth];
        if (window.alpha == kRootAlpha) {
            ASSERT_EQ(reversiMove(args, {}), std::to_string(move));
        }
    }
    expectEveryDepthCovered(depthCounts);
}

} // namespace
} // namespace vendrel
