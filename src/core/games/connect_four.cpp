#include "games/connect_four.h"

#include "games/connect_four_bits.h"
#include "games/connect_four_lines.h"
#include "games/move_request.h"
#include "text/format.h"

#include <algorithm>
#include <array>

namespace vendrel {
namespace {

using namespace connect_four_bits;

struct Masks {
    std::uint64_t own = 0;
    std::uint64_t opponent = 0;
    std::uint64_t others = 0; // pieces of any other value
    int othersScore = 0;      // their run scores, counted against whoever is to move
    bool hasFourAlready = false;
};

// Pieces of nobody never move, so their runs are scored once here, one value at a time.
Masks toMasks(const ConnectFourBoard& board, int side) {
    Masks masks;
    std::uint64_t done = 0;
    for (int i = 0; i < 42; ++i) {
        const std::uint64_t cell = bitAt(i % 7, i / 7);
        const int value = board[static_cast<std::size_t>(i)];
        if (value == side) {
            masks.own |= cell;
        } else if (value == 1 - side) {
            masks.opponent |= cell;
        } else if (value != -1 && (done & cell) == 0) {
            std::uint64_t kind = 0;
            for (int j = i; j < 42; ++j) {
                if (board[static_cast<std::size_t>(j)] == value) {
                    kind |= bitAt(j % 7, j / 7);
                }
            }
            done |= kind;
            masks.othersScore += runScoreSum(kind);
            masks.hasFourAlready = masks.hasFourAlready || hasFour(kind);
        }
    }
    masks.others = done;
    masks.hasFourAlready = masks.hasFourAlready || hasFour(masks.own) || hasFour(masks.opponent);
    return masks;
}

using connect_four_lines::gainOf;
using connect_four_lines::Lines;
using connect_four_lines::withPiece;

class Search {
public:
    Search(const Masks& masks, const KeepSearching& keepSearching)
        : others_(masks.others), othersScore_(masks.othersScore), budget_(keepSearching) {}

    // score: own minus opponent run scores. hasLost: the opponent's last move made four; it
    // is the only way a four can appear, as the node before it was searched on and so held
    // none.
    int node(const Lines& own, const Lines& opponent, int score, bool hasLost, int depth, int alpha,
             int beta, int* bestMove) {
        if (budget_.enterNode()) {
            return 0;
        }
        if (depth <= 0) {
            return score - othersScore_;
        }
        if (hasLost) {
            return kLostValue;
        }
        if (depth == 2) {
            return twoPlies(own, opponent, score, alpha, beta, bestMove);
        }
        const std::uint64_t occupied = own.columns | opponent.columns | others_;
        NodeBest best{alpha, beta, bestMove};
        for (int x = 0; x < kColumns; ++x) {
            const std::uint64_t cell = dropCell(occupied, x);
            if (cell == 0) {
                continue;
            }
            const int index = std::countr_zero(cell);
            const int gain = gainOf(own, index);
            int value = 0;
            if (depth == 1) {
                // The child is a leaf: its score, negated, without the call.
                if (budget_.enterNode()) {
                    return 0;
                }
                value = score + (gain >> 1) + othersScore_;
            } else {
                value = -node(opponent, withPiece(own, index), -(score + (gain >> 1)),
                              (gain & 1) != 0, depth - 1, -best.beta, -best.alpha, nullptr);
                if (budget_.isAbandoned()) {
                    return 0;
                }
            }
            if (best.consider(x, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    [[nodiscard]] const SearchBudget& budget() const { return budget_; }

private:
    // The opponent's gains (halved, without the four flag) on the cells it can drop into at a
    // node two plies above the leaves. What a piece adds depends only on its own side's
    // pieces, so these are the same in every child of that node, except in the column just
    // played. Each is worked out when a leaf first needs it: most leaves' parents close their
    // window after a column or two.
    struct ReplyGains {
        const Lines& opponent;
        std::uint64_t occupied;
        std::array<int, kColumns> gains;

        // kFullColumn when no piece fits in column x.
        int at(int x) {
            int& gain = gains[static_cast<std::size_t>(x)];
            if (gain == kUnknown) {
                const std::uint64_t cell = dropCell(occupied, x);
                gain = cell == 0 ? kFullColumn : gainOf(opponent, std::countr_zero(cell)) >> 1;
            }
            return gain;
        }
        // The same above `played`, the cell the child's move took in column x.
        [[nodiscard]] int above(int x, std::uint64_t played) const {
            const std::uint64_t cell = dropCell(occupied | played, x);
            return cell == 0 ? kFullColumn : gainOf(opponent, std::countr_zero(cell)) >> 1;
        }
    };

    // A node two plies above the leaves, its children scored in place: a leaf is worth its
    // parent's score plus what the last piece adds. The tree walked and the order of every
    // comparison stay those of the plain recursion.
    int twoPlies(const Lines& own, const Lines& opponent, int score, int alpha, int beta,
                 int* bestMove) {
        const std::uint64_t occupied = own.columns | opponent.columns | others_;
        ReplyGains replies{opponent, occupied, {}};
        replies.gains.fill(kUnknown);
        NodeBest best{alpha, beta, bestMove};
        for (int x = 0; x < kColumns; ++x) {
            const std::uint64_t cell = dropCell(occupied, x);
            if (cell == 0) {
                continue;
            }
            const int gain = gainOf(own, std::countr_zero(cell));
            int value = 0;
            if ((gain & 1) != 0) {
                // The reply node sees four in a row and stops there.
                if (budget_.enterNode()) {
                    return 0;
                }
                value = -kLostValue;
            } else {
                value = -leafParent(replies, x, cell, -(score + (gain >> 1)) + othersScore_,
                                    -best.beta, -best.alpha);
                if (budget_.isAbandoned()) {
                    return 0;
                }
            }
            if (best.consider(x, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    // A node one ply above the leaves, reached by a move to `played` in column playedColumn;
    // its leaves are worth base plus the opponent's gain on the cell each one takes. It and
    // its leaves are counted together.
    int leafParent(ReplyGains& replies, int playedColumn, std::uint64_t played, int base, int alpha,
                   int beta) {
        int bestValue = kNoMoveValue;
        std::uint64_t visited = 1;
        int result = kNoMoveValue;
        bool isCut = false;
        for (int x = 0; x < kColumns; ++x) {
            const int gain = x == playedColumn ? replies.above(x, played) : replies.at(x);
            if (gain == kFullColumn) {
                continue;
            }
            ++visited;
            const int value = base + gain;
            bestValue = std::max(bestValue, value);
            alpha = std::max(alpha, value);
            if (alpha >= beta) {
                result = alpha;
                isCut = true;
                break;
            }
        }
        if (budget_.enterNodes(visited)) {
            return 0;
        }
        return isCut ? result : bestValue;
    }

    static constexpr int kUnknown = -2;
    static constexpr int kFullColumn = -1;

    std::uint64_t others_;
    int othersScore_;
    SearchBudget budget_;
};

} // namespace

std::optional<SearchOutcome> searchConnectFour(const ConnectFourBoard& board, int depth, int side,
                                               int alpha, int beta,
                                               const KeepSearching& keepSearching) {
    if (!isSearchableSide(side)) {
        return SearchOutcome{};
    }
    const Masks masks = toMasks(board, side);
    if (depth > 0 && masks.hasFourAlready) {
        return SearchOutcome{kLostValue, kNoMove, 1};
    }
    Search search(masks, keepSearching);
    SearchOutcome outcome;
    const int score = runScoreSum(masks.own) - runScoreSum(masks.opponent);
    outcome.value = search.node(connect_four_lines::linesOf(masks.own),
                                connect_four_lines::linesOf(masks.opponent), score, false, depth,
                                alpha, beta, &outcome.move);
    if (search.budget().isAbandoned()) {
        return std::nullopt;
    }
    outcome.nodes = search.budget().nodes();
    return outcome;
}

std::optional<std::string> connectFourMove(std::string_view args,
                                           const KeepSearching& keepSearching) {
    const MoveRequest request = parseMoveRequest(args, false);
    ConnectFourBoard board;
    readPosition(request.position, board);
    const int depth = std::min(request.depth, kConnectFourMaxDepth);
    const auto outcome =
        searchConnectFour(board, depth, request.side, kRootAlpha, kRootBeta, keepSearching);
    if (!outcome) {
        return std::nullopt;
    }
    return formatText(28, "%d", outcome->move);
}

} // namespace vendrel
