#pragma once
// The cn4m and rv1m requests: side, an unused number, depth, (Reversi) rule flags and the
// position text, read the way "%d %d %d %s" / "%d %d %d %d %s" reads them; and the
// "inbx 28" answer that carries the chosen move back.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace vendrel {

struct MoveRequest {
    int side = 0;
    int unused = 0; // sent by the server, read and ignored
    int depth = 0;
    int flags = 0; // Reversi only
    std::string position;
};

// Reading stops at the first field that does not fit, as scanf does; every field after it
// keeps 0 (an empty position). Numbers are decimal and saturate at the 32-bit limits. The
// text ends at the first NUL byte, as it did for the C string the protocol was made with.
[[nodiscard]] MoveRequest parseMoveRequest(std::string_view args, bool hasFlags);

// Fills cells from the position text: '0' empty (-1), '1' side 0 (0), '2' side 1 (1), every
// byte above '/' its value minus '1', other bytes their own value; cells beyond the text
// stay 0 (pieces of side 0) and characters beyond the cells are ignored. Bytes are taken as
// unsigned, so a position means the same on every platform whatever the signedness of char.
void readPosition(std::string_view text, std::span<int> cells);

// "inbx 28", U+007F and the move text, cut to 28 bytes.
[[nodiscard]] std::string moveAnswer(std::string_view moveText);

} // namespace vendrel
