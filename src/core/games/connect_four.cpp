#include "games/connect_four.h"

#include "games/connect_four_bits.h"
#include "games/connect_four_lines.h"
#include "games/move_request.h"
#include "text/format.h"

#include <algorithm>

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
        const std::uint64_t occupied = own.columns | opponent.columns | others_;
        int bestValue = kNoMoveValue;
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
                              (gain & 1) != 0, depth - 1, -beta, -alpha, nullptr);
                if (budget_.isAbandoned()) {
                    return 0;
                }
            }
            if (value > bestValue) {
                bestValue = value;
                if (bestMove != nullptr) {
                    *bestMove = x;
                }
            }
            alpha = std::max(alpha, value);
            if (alpha >= beta) {
                return alpha;
            }
        }
        return bestValue;
    }

    [[nodiscard]] const SearchBudget& budget() const { return budget_; }

private:
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
