#pragma once
// Connect Four moves for the server's cn4m requests: a depth-limited negamax with alpha-beta
// over a 7 x 6 board. The server plays the same search itself and compares, so the
// evaluation, the column order and the tie-breaks below are exact, not a matter of taste.

#include "games/game_search.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

// Cell (x, y) at index x + 7y; row 0 fills first. -1 is empty, 0 and 1 are the sides' pieces;
// any other value is a piece of nobody that still makes runs with its own kind.
using ConnectFourBoard = std::array<int, 42>;

// A server asks for depth 8 to 10 (17 to 50 ms here, one core of a 2.6 GHz machine).
// Measured from the empty board and a quiet opening: depth 12 takes 0.2 to 0.8 s (23 to 81
// million nodes), 13 takes 1.4 to 4.5 s and 14 up to 8.6 s, each ply costing three to seven
// times the last. Deeper requests are searched at 12: the answer stays within about a second,
// and the worker thread, which holds every later input box and download, is not tied up for
// minutes or hours by one request.
inline constexpr int kConnectFourMaxDepth = 12;

// Searches for side (any value but -1 and 2) inside the window alpha..beta, which must lie
// within -1000000001..1000000001. Returns the value and the chosen column (or -1), or nothing
// when keepSearching said stop. Never allocates while it searches.
[[nodiscard]] std::optional<SearchOutcome>
searchConnectFour(const ConnectFourBoard& board, int depth, int side, int alpha, int beta,
                  const KeepSearching& keepSearching = {});

// The cn4m job: args is the command text after "cn4m ". Returns the move text ("0".."6" or
// "-1") to send back with moveAnswer, or nothing when the search was abandoned.
[[nodiscard]] std::optional<std::string> connectFourMove(std::string_view args,
                                                         const KeepSearching& keepSearching);

} // namespace vendrel
