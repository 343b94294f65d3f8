#include "games/reversi.h"

#include "games/move_request.h"
#include "games/reversi_bits.h"
#include "text/format.h"

#include <algorithm>

namespace vendrel {
namespace {

using namespace reversi_bits;

class Search {
public:
    Search(int flags, const KeepSearching& keepSearching)
        : mustFlip_((flags & kReversiMustFlip) != 0),
          // A pass turns nothing, so with the flip rule it is never a candidate.
          mayPass_((flags & kReversiMayPass) != 0 && !mustFlip_), budget_(keepSearching) {}

    // others: pieces of nobody, walked over and turned like the opponent's.
    int node(std::uint64_t own, std::uint64_t opponent, std::uint64_t others, int depth, int alpha,
             int beta, int* bestMove) {
        if (budget_.enterNode()) {
            return 0;
        }
        if (depth <= 0) {
            return evaluate(own);
        }
        if (depth == 1) {
            return leafParent(own, opponent, others, alpha, beta, bestMove);
        }
        Best best{alpha, beta, bestMove};
        const auto childValue = [&](std::uint64_t cell, std::uint64_t turned) {
            return -node(opponent & ~turned, own | cell | turned, others & ~turned, depth - 1,
                         -best.beta, -best.alpha, nullptr);
        };
        if (mayPass_) {
            const int value = childValue(0, 0);
            if (budget_.isAbandoned()) {
                return 0;
            }
            if (best.consider(kNoMove, value)) {
                return best.alpha;
            }
        }
        const std::uint64_t walkable = opponent | others;
        // Finding every cell that turns something at once is cheaper than walking the eight
        // directions from each empty neighbour; with the flip rule they are the only moves.
        const std::uint64_t turning = cellsThatTurn(own, walkable);
        const std::uint64_t tried = mustFlip_ ? turning : candidateCells(own | walkable);
        for (std::uint64_t left = tried; left != 0; left &= left - 1) {
            const std::uint64_t cell = left & (0 - left);
            const int index = std::countr_zero(cell);
            const std::uint64_t turned = (cell & turning) != 0 ? flips(index, own, walkable) : 0;
            const int value = childValue(cell, turned);
            if (budget_.isAbandoned()) {
                return 0;
            }
            if (best.consider(index, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    [[nodiscard]] const SearchBudget& budget() const { return budget_; }

private:
    // A node's best value and move so far, and its window.
    struct Best {
        int alpha;
        int beta;
        int* move;
        int value = kNoMoveValue;

        // True when the window closed: the node returns alpha at once.
        bool consider(int candidate, int candidateValue) {
            if (candidateValue > value) {
                value = candidateValue;
                if (move != nullptr) {
                    *move = candidate;
                }
            }
            alpha = std::max(alpha, candidateValue);
            return alpha >= beta;
        }
    };

    // A node one ply above the leaves (already counted). Its children are scored here
    // instead of being called: a child evaluates the opponent's pieces less those the move
    // turns, so only the turned ones need weighing. A move that turns nothing is worth the
    // same as the pass, so a run of them is taken at once: its first cell decides, the others
    // tie with it and are only counted.
    int leafParent(std::uint64_t own, std::uint64_t opponent, std::uint64_t others, int alpha,
                   int beta, int* bestMove) {
        const int quietValue = -evaluate(opponent);
        Best best{alpha, beta, bestMove};
        if (mayPass_) {
            if (budget_.enterNode()) {
                return 0;
            }
            if (best.consider(kNoMove, quietValue)) {
                return best.alpha;
            }
        }
        const std::uint64_t walkable = opponent | others;
        const std::uint64_t turning = cellsThatTurn(own, walkable);
        std::uint64_t left = mustFlip_ ? turning : candidateCells(own | walkable);
        while (left != 0) {
            const std::uint64_t cell = left & turning & (0 - (left & turning));
            const std::uint64_t quiet = left & (cell - 1); // all of left when no cell turns
            if (quiet != 0) {
                if (budget_.enterNode()) {
                    return 0;
                }
                if (best.consider(std::countr_zero(quiet), quietValue)) {
                    return best.alpha;
                }
                const auto more = static_cast<std::uint64_t>(bitCount(quiet) - 1);
                if (more != 0 && budget_.enterNodes(more)) {
                    return 0;
                }
            }
            if (cell == 0) {
                break;
            }
            left &= ~(cell | (cell - 1));
            if (budget_.enterNode()) {
                return 0;
            }
            const int index = std::countr_zero(cell);
            const int value = quietValue + 2 * weightOf(opponent & flips(index, own, walkable));
            if (best.consider(index, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    bool mustFlip_;
    bool mayPass_;
    SearchBudget budget_;
};

} // namespace

std::optional<SearchOutcome> searchReversi(const ReversiBoard& board, int depth, int side,
                                           int alpha, int beta, int flags,
                                           const KeepSearching& keepSearching) {
    if (!isSearchableSide(side)) {
        return SearchOutcome{};
    }
    std::uint64_t own = 0;
    std::uint64_t opponent = 0;
    std::uint64_t others = 0;
    for (std::size_t i = 0; i < board.size(); ++i) {
        const std::uint64_t cell = std::uint64_t{1} << i;
        if (board[i] == side) {
            own |= cell;
        } else if (board[i] == 1 - side) {
            opponent |= cell;
        } else if (board[i] != -1) {
            others |= cell;
        }
    }
    Search search(flags, keepSearching);
    SearchOutcome outcome;
    outcome.value = search.node(own, opponent, others, depth, alpha, beta, &outcome.move);
    if (search.budget().isAbandoned()) {
        return std::nullopt;
    }
    outcome.nodes = search.budget().nodes();
    return outcome;
}

std::optional<std::string> reversiMove(std::string_view args, const KeepSearching& keepSearching) {
    const MoveRequest request = parseMoveRequest(args, true);
    ReversiBoard board;
    readPosition(request.position, board);
    const int depth = std::min(request.depth, kReversiMaxDepth);
    const auto outcome = searchReversi(board, depth, request.side, kRootAlpha, kRootBeta,
                                       request.flags, keepSearching);
    if (!outcome) {
        return std::nullopt;
    }
    return formatText(28, "%d", outcome->move);
}

} // namespace vendrel
