#include "games/reversi.h"

#include "games/move_request.h"
#include "games/reversi_bits.h"
#include "text/format.h"

#include <algorithm>

namespace vendrel {
namespace {

using namespace reversi_bits;

// The rule flags are template arguments: the leaves' parents, where most of the time goes,
// are compiled once for each rule set, without tests of the flags.
template <bool kMustFlip, bool kMayPass> class Search {
public:
    explicit Search(const KeepSearching& keepSearching) : budget_(keepSearching) {}

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
            return leafParent(own, opponent, others, -evaluate(opponent), alpha, beta, bestMove,
                              kEveryValueCounts);
        }
        if (depth == 2) {
            return twoPlies(own, opponent, others, alpha, beta, bestMove);
        }
        Best best{alpha, beta, bestMove};
        return forEachMove(
            own, opponent, others, best, [&](std::uint64_t cell, std::uint64_t turned, int) {
                return -node(opponent & ~turned, own | cell | turned, others & ~turned, depth - 1,
                             -best.beta, -best.alpha, nullptr);
            });
    }

    [[nodiscard]] const SearchBudget& budget() const { return budget_; }

private:
    using Best = NodeBest;

    // Tries the node's moves in order (the pass first, when allowed), each scored by
    // childValue(cell, turned, weight), weight being what the cell and the turned pieces add
    // to the mover's evaluation; returns the node's value.
    template <typename ChildValue>
    int forEachMove(std::uint64_t own, std::uint64_t opponent, std::uint64_t others, Best& best,
                    const ChildValue& childValue) {
        if (kMayPass) {
            const int value = childValue(0, 0, 0);
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
        const std::uint64_t tried = kMustFlip ? turning : candidateCells(own | walkable);
        for (std::uint64_t left = tried; left != 0; left &= left - 1) {
            const std::uint64_t cell = left & (0 - left);
            const int index = std::countr_zero(cell);
            const auto turned = (cell & turning) != 0 ? flipsAndWeight(index, own, walkable)
                                                      : reversi_lines::Turned{0, 0};
            const int value = childValue(cell, turned.cells, cellWeight(index) + turned.weight);
            if (budget_.isAbandoned()) {
                return 0;
            }
            if (best.consider(index, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    // A node two plies above the leaves (already counted): its children, the leaves'
    // parents, are counted and scored here, without a call through node() each.
    int twoPlies(std::uint64_t own, std::uint64_t opponent, std::uint64_t others, int alpha,
                 int beta, int* bestMove) {
        Best best{alpha, beta, bestMove};
        // A child evaluates the pieces this node's side has after the move: the side's
        // pieces now plus what the move adds.
        const int ownValue = evaluate(own);
        return forEachMove(own, opponent, others, best,
                           [&](std::uint64_t cell, std::uint64_t turned, int weight) {
                               if (budget_.enterNode()) {
                                   return 0;
                               }
                               // A child's value of -best.value or more changes nothing here.
                               return -leafParent(opponent & ~turned, own | cell | turned,
                                                  others & ~turned, -(ownValue + 2 * weight),
                                                  -best.beta, -best.alpha, nullptr, -best.value);
                           });
    }

    // A node one ply above the leaves (already counted). Its children are scored here
    // instead of being called: a child evaluates the opponent's pieces less those the move
    // turns, so only the turned ones need weighing. A move that turns nothing is worth the
    // same as the pass, so a run of them is taken at once: its first cell decides, the others
    // tie with it and are only counted.
    //
    // The caller may say that any value from `ignoredFrom` up is as good to it as any other
    // (its best so far already beats them all, and its window is not touched): then a node
    // whose moves are all worth that much returns the least of them, unweighed.
    //
    // quietValue is what a move that turns nothing is worth here: -evaluate(opponent).
    [[gnu::always_inline]] int leafParent(std::uint64_t own, std::uint64_t opponent,
                                          std::uint64_t others, int quietValue, int alpha, int beta,
                                          int* bestMove, int ignoredFrom) {
        Best best{alpha, beta, bestMove};
        if (kMayPass) {
            if (budget_.enterNode()) {
                return 0;
            }
            if (best.consider(kNoMove, quietValue)) {
                return best.alpha;
            }
        }
        const std::uint64_t walkable = opponent | others;
        if (!kMustFlip && std::max(best.alpha, quietValue) >= best.beta) {
            // Every move is worth the quiet value or more, so the first one closes the
            // window whatever it turns: only that one is weighed.
            const std::uint64_t first = candidateCells(own | walkable);
            if (first == 0) {
                return best.value;
            }
            if (budget_.enterNode()) {
                return 0;
            }
            if (quietValue >= ignoredFrom) {
                return quietValue;
            }
            const int index = std::countr_zero(first);
            (void)best.consider(
                index, quietValue + 2 * turnedWeight(index, own, walkable, opponent, others));
            return best.alpha;
        }
        if (others == 0) {
            // Every move turns one of the opponent's pieces, worth two at least.
            if (kMustFlip && quietValue + 2 >= ignoredFrom &&
                std::max(best.alpha, quietValue + 2) >= best.beta) {
                // The first move closes the window, at a value that does not matter: only
                // whether there is one.
                if (!hasMoveThatTurns(own, opponent)) {
                    return best.value;
                }
                if (budget_.enterNode()) {
                    return 0;
                }
                return quietValue + 2;
            }
            return turningOnly(own, opponent, quietValue, best);
        }
        const std::uint64_t turning = cellsThatTurn(own, walkable);
        std::uint64_t left = kMustFlip ? turning : candidateCells(own | walkable);
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
            const int value = quietValue + 2 * turnedWeight(index, own, walkable, opponent, others);
            if (best.consider(index, value)) {
                return best.alpha;
            }
        }
        return best.value;
    }

    // The rest of leafParent when every walkable piece is the opponent's. Then every move
    // that turns something is worth more than the quiet value, which is below beta here, so
    // only those moves can close the window or become the best: they are the only ones
    // weighed, and the moves that turn nothing are counted, and considered once at the end
    // in case nothing turns. Their place in the order changes nothing: a later tie never
    // replaces the best move, and the window's alpha is not looked at again.
    int turningOnly(std::uint64_t own, std::uint64_t opponent, int quietValue, Best& best) {
        // Only the lines a cell turns along are weighed.
        const TurningCells lines = turningCells(own, opponent);
        const std::uint64_t turning = lines.any();
        const std::uint64_t tried = kMustFlip ? turning : candidateCells(own | opponent);
        for (std::uint64_t left = turning; left != 0; left &= left - 1) {
            const int index = std::countr_zero(left);
            const std::uint64_t cell = left & (0 - left);
            const int weight = reversi_lines::turnedWeightOn(
                index, own, opponent, (lines.row & cell) != 0, (lines.column & cell) != 0,
                (lines.diagonal & cell) != 0, (lines.antiDiagonal & cell) != 0);
            if (best.consider(index, quietValue + 2 * weight)) {
                const std::uint64_t upTo = cell * 2 - 1;
                if (budget_.enterNodes(static_cast<std::uint64_t>(bitCount(tried & upTo)))) {
                    return 0;
                }
                return best.alpha;
            }
        }
        if (tried == 0) {
            return best.value;
        }
        if (budget_.enterNodes(static_cast<std::uint64_t>(bitCount(tried)))) {
            return 0;
        }
        const std::uint64_t quiet = tried & ~turning;
        if (quiet != 0) {
            (void)best.consider(std::countr_zero(quiet), quietValue);
        }
        return best.value;
    }

    // The weight of the opponent's pieces a piece on index turns; counted line by line
    // unless pieces of nobody are about, which turn but weigh nothing.
    static int turnedWeight(int index, std::uint64_t own, std::uint64_t walkable,
                            std::uint64_t opponent, std::uint64_t others) {
        return others == 0 ? reversi_lines::turnedWeight(index, own, walkable)
                           : weightOf(opponent & flips(index, own, walkable));
    }

    // Larger than any value: every value counts.
    static constexpr int kEveryValueCounts = 2000000000;

    SearchBudget budget_;
};

template <bool kMustFlip, bool kMayPass>
std::optional<SearchOutcome> run(std::uint64_t own, std::uint64_t opponent, std::uint64_t others,
                                 int depth, int alpha, int beta,
                                 const KeepSearching& keepSearching) {
    Search<kMustFlip, kMayPass> search(keepSearching);
    SearchOutcome outcome;
    outcome.value = search.node(own, opponent, others, depth, alpha, beta, &outcome.move);
    if (search.budget().isAbandoned()) {
        return std::nullopt;
    }
    outcome.nodes = search.budget().nodes();
    return outcome;
}

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
    const bool mustFlip = (flags & kReversiMustFlip) != 0;
    // A pass turns nothing, so with the flip rule it is never a candidate.
    const bool mayPass = (flags & kReversiMayPass) != 0 && !mustFlip;
    return mustFlip  ? run<true, false>(own, opponent, others, depth, alpha, beta, keepSearching)
           : mayPass ? run<false, true>(own, opponent, others, depth, alpha, beta, keepSearching)
                     : run<false, false>(own, opponent, others, depth, alpha, beta, keepSearching);
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
