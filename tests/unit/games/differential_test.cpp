// The bitboard searches against the literal ones on many random requests: positions grown by
// play and impossible ones, short and over-long texts, odd characters, both sides (and a few
// stranger ones), every rule flag, depths 0 to 6 and narrow windows. Move, value and the
// number of nodes must all agree: the last proves the same tree was walked.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reference_search.h"
#include "games/reversi.h"

namespace vendrel {
namespace {

using Rng = std::mt19937;

int below(Rng& rng, int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

template <typename Items> auto pick(Rng& rng, const Items& items) {
    return items[rng() % std::size(items)];
}

template <std::size_t kCells> std::string textOf(const std::array<int, kCells>& board) {
    std::string text;
    for (const int cell : board) {
        text += static_cast<char>('1' + cell);
    }
    return text;
}

// Pieces dropped in turn into random columns until a side has four.
std::string grownConnectFour(Rng& rng) {
    reference::C4Board board;
    board.fill(-1);
    for (int n = below(rng, 43); n > 0 && !reference::connectFourHasFour(board); --n) {
        const int x = below(rng, 7);
        const int y = reference::connectFourDropRow(board, x);
        if (y >= 0) {
            board[static_cast<std::size_t>(x + 7 * y)] = n % 2;
        }
    }
    return textOf(board);
}

// Moves in turn from the start, under the rules without the flip rule: any cell beside a piece.
std::string grownReversi(Rng& rng) {
    reference::RvBoard board;
    board.fill(-1);
    board[27] = board[36] = 1;
    board[28] = board[35] = 0;
    for (int n = below(rng, 61); n > 0; --n) {
        reference::reversiPlay(board, pick(rng, reference::reversiCandidates(board, 0)), n % 2);
    }
    return textOf(board);
}

// Odd characters are never white space or NUL: those end the text before it reaches a cell.
std::string randomText(Rng& rng, bool isReversi) {
    static const std::string kCells = "00012", kOdd = "000123/!x\x01\x02\x7f\x80\xc3\xff`?";
    const int cells = isReversi ? 64 : 42;
    const int kind = below(rng, 4);
    std::string text = kind > 1 ? "" : isReversi ? grownReversi(rng) : grownConnectFour(rng);
    for (int i = 0; kind > 1 && i < cells; ++i) {
        text += pick(rng, kind == 2 ? kCells : kOdd);
    }
    if (below(rng, 8) == 0) {
        text.resize(static_cast<std::size_t>(below(rng, cells)));
    } else if (below(rng, 8) == 0) {
        text += "1221";
    }
    return text;
}

// A number as a request may carry it: after a blank or a tab, now and then with a plus sign
// or a leading zero.
std::string number(Rng& rng, int value) {
    static const std::string kPrefixes[] = {"", "", "+", "0"};
    return (below(rng, 3) == 0 ? "\t" : " ") + (value < 0 ? "" : pick(rng, kPrefixes)) +
           std::to_string(value);
}

// Mostly the root window; sometimes a narrow one, empty or upside down.
std::pair<int, int> randomWindow(Rng& rng) {
    const int alpha = below(rng, 4001) - 2000;
    return below(rng, 6) != 0 ? std::pair(kRootAlpha, kRootBeta)
                              : std::pair(alpha, alpha + below(rng, 3000) - 500);
}

// A random depth, stepped down until the literal search can afford the tree: a trial that
// refuses to go on at its first poll stops one that would grow large early.
template <typename Search> int affordableDepth(Rng& rng, std::uint64_t maxNodes, Search&& search) {
    static const int kDepths[] = {0, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 5, 6};
    int depth = pick(rng, kDepths);
    for (; depth > 0; --depth) {
        const auto trial = search(depth, [] { return false; });
        if (trial && trial->nodes <= maxNodes) {
            break;
        }
    }
    return depth;
}

// One game's random requests searched both ways; the move job is compared on the root window.
template <bool kIsReversi> void compareWithTheLiteralSearch(Rng rng, std::uint64_t maxNodes) {
    int depthCounts[7] = {};
    for (int round = 0; round < 10000; ++round) {
        const std::string text = randomText(rng, kIsReversi);
        const int side =
            below(rng, 12) == 0 ? pick(rng, std::array{3, -2, 5, 47, 71, -5}) : below(rng, 2);
        const int flags = below(rng, 10) == 0 ? below(rng, 16) - 4 : below(rng, 4);
        const auto [alpha, beta] = randomWindow(rng);
        std::array<int, kIsReversi ? 64 : 42> board{};
        readPosition(text, board);
        const auto search = [&](int depth, const KeepSearching& keepSearching) {
            if constexpr (kIsReversi) {
                return searchReversi(board, depth, side, alpha, beta, flags, keepSearching);
            } else {
                return searchConnectFour(board, depth, side, alpha, beta, keepSearching);
            }
        };
        const int depth = affordableDepth(rng, maxNodes, search);
        const std::string args = number(rng, side) + number(rng, below(rng, 100)) +
                                 number(rng, depth) + (kIsReversi ? number(rng, flags) : "") + " " +
                                 text;
        SCOPED_TRACE(args);
        std::uint64_t nodes = 0;
        int move = -1;
        int value = 0;
        if constexpr (kIsReversi) {
            value = reference::searchReversi(board, depth, side, alpha, beta, &move, flags, &nodes);
        } else {
            value = reference::searchConnectFour(board, depth, side, alpha, beta, &move, &nodes);
        }
        const auto outcome = search(depth, {});
        ASSERT_EQ(std::tuple(outcome->value, outcome->move, outcome->nodes),
                  std::tuple(value, move, nodes));
        if (alpha == kRootAlpha) {
            ASSERT_EQ(kIsReversi ? reversiMove(args, {}) : connectFourMove(args, {}),
                      std::to_string(move));
        }
        ++depthCounts[depth];
    }
    for (const int count : depthCounts) {
        EXPECT_GE(count, 100); // stepping depths down must not leave the deep ones untested
    }
}

TEST(GamesDifferential, ConnectFourBitboardsMatchTheLiteralSearch) {
    compareWithTheLiteralSearch<false>(Rng(20240611), 3000);
}

TEST(GamesDifferential, ReversiBitboardsMatchTheLiteralSearch) {
    compareWithTheLiteralSearch<true>(Rng(19710503), 2000);
}

} // namespace
} // namespace vendrel
