#pragma once
// Reversi moves for the server's rv1m requests: a depth-limited negamax with alpha-beta over
// an 8 x 8 board, with the server's own move rules (rule flags below) and evaluation. The
// server compares our move with its own, so every detail of the order and the tie-breaks
// is fixed.

#include "games/game_search.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

// Cell (x, y) at index x + 8y. -1 is empty, 0 and 1 the sides' pieces; any other value is a
// piece of nobody, which blocks like a piece and is turned like an opponent's.
using ReversiBoard = std::array<int, 64>;

// Flag 1: a move must turn at least one piece. Flag 2: passing (move -1) is tried first.
inline constexpr int kReversiMustFlip = 1;
inline constexpr int kReversiMayPass = 2;

// A server asks for depth 4 to 6 (a few milliseconds). Measured on the start position and a
// middle game with every rule flag (one core of a 2.6 GHz machine): depth 8 takes at most
// 0.45 s (46 million nodes, passes allowed), depth 9 up to 6 s and depth 10 up to 14 s, the
// open rules (no flip needed, passes) growing ten times a ply. Deeper requests are searched
// at 8, for the same reason as in Connect Four: a move within a second, and a worker thread
// that is free again for the player's boxes and downloads.
inline constexpr int kReversiMaxDepth = 8;

// Searches for side (any value but -1 and 2) inside the window alpha..beta, which must lie
// within -1000000001..1000000001. Returns the value and the chosen cell (or -1: no move, or
// the pass), or nothing when keepSearching said stop. Never allocates while it searches.
[[nodiscard]] std::optional<SearchOutcome> searchReversi(const ReversiBoard& board, int depth,
                                                         int side, int alpha, int beta, int flags,
                                                         const KeepSearching& keepSearching = {});

// The rv1m job: args is the command text after "rv1m ". Returns the move text ("0".."63" or
// "-1") to send back with moveAnswer, or nothing when the search was abandoned.
[[nodiscard]] std::optional<std::string> reversiMove(std::string_view args,
                                                     const KeepSearching& keepSearching);

} // namespace vendrel
