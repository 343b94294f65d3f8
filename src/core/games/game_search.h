#pragma once
// What the Connect Four and Reversi searches share: the score window the server's games are
// played with, the result of one search, and the way a running search learns that nobody
// wants its answer any more.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

namespace vendrel {

// The root window, the start value of every node and the worth of a lost Connect Four
// position. The server compares our moves with its own, so these numbers are part of the
// protocol: a node without a single move keeps kNoMoveValue, and its parent sees the
// negation, which beats every real score.
inline constexpr int kRootAlpha = -1000000000;
inline constexpr int kRootBeta = 1000000000;
inline constexpr int kNoMoveValue = -1000000001;
inline constexpr int kLostValue = -999999999;
inline constexpr int kNoMove = -1;

struct SearchOutcome {
    int value = kNoMoveValue;
    int move = kNoMove;      // column, cell index, or -1 (none, or the Reversi pass)
    std::uint64_t nodes = 0; // calls of the search, the root included
};

// A node's best value and move so far, and its alpha-beta window: the same fail-soft step in
// both searches.
struct NodeBest {
    int alpha;
    int beta;
    int* move; // where the best move goes; null below the root
    int value = kNoMoveValue;

    // A child's value, in move order: a later tie never replaces the best move. True when
    // the window closed, and the node returns alpha at once.
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

// Asked now and then (every kPollNodes nodes) whether the answer is still wanted; false
// abandons the search. Called on the searching thread; an empty function never abandons.
using KeepSearching = std::function<bool()>;
inline constexpr std::uint64_t kPollNodes = 4096;

// Counts nodes and polls KeepSearching; shared by both searches so they stop alike.
class SearchBudget {
public:
    explicit SearchBudget(const KeepSearching& keepSearching) : keepSearching_(keepSearching) {}

    // True when the search must unwind now.
    [[nodiscard]] bool enterNode() {
        ++nodes_;
        if ((nodes_ % kPollNodes) == 0 && keepSearching_ && !keepSearching_()) {
            isAbandoned_ = true;
        }
        return isAbandoned_;
    }
    // The same for `count` nodes at once (1 to kPollNodes): polls once when they pass the
    // point where one of them would have polled.
    [[nodiscard]] bool enterNodes(std::uint64_t count) {
        const std::uint64_t before = nodes_;
        nodes_ += count;
        if (before / kPollNodes != nodes_ / kPollNodes && keepSearching_ && !keepSearching_()) {
            isAbandoned_ = true;
        }
        return isAbandoned_;
    }
    [[nodiscard]] bool isAbandoned() const { return isAbandoned_; }
    [[nodiscard]] std::uint64_t nodes() const { return nodes_; }

private:
    const KeepSearching& keepSearching_;
    std::uint64_t nodes_ = 0;
    bool isAbandoned_ = false;
};

// Only a side whose pieces, and whose opponent's pieces (1 - side), differ from the empty
// cell's value -1 can be searched; the server sends 0 or 1.
[[nodiscard]] constexpr bool isSearchableSide(int side) {
    return side != -1 && side != 2 && side > -1000000 && side < 1000000;
}

} // namespace vendrel
