#pragma once
// Reversi on 64-bit masks: bit i is cell i = x + 8y, so a mask's bit order is the order in
// which the search tries its cells.

#include "games/reversi_lines.h"

#include <bit>
#include <cstdint>

namespace vendrel::reversi_bits {

inline constexpr std::uint64_t kNotColumn0 = 0xFEFEFEFEFEFEFEFEULL;
inline constexpr std::uint64_t kNotColumn7 = 0x7F7F7F7F7F7F7F7FULL;
// Row 0 and column 0: the only cells the evaluation weights (cell 0 most of all).
inline constexpr std::uint64_t kFirstRowAndColumn = 0x01010101010101FFULL;

// One step in direction D (0..7: right, left, up, down and the four diagonals); pieces that
// would leave the board are dropped instead of wrapping into the next row. A template, so
// the hot loops below unroll into plain shifts instead of a jump per step.
template <int D> [[nodiscard]] constexpr std::uint64_t stepTo(std::uint64_t cells) {
    if constexpr (D == 0) {
        return (cells << 1) & kNotColumn0;
    } else if constexpr (D == 1) {
        return (cells >> 1) & kNotColumn7;
    } else if constexpr (D == 2) {
        return cells << 8;
    } else if constexpr (D == 3) {
        return cells >> 8;
    } else if constexpr (D == 4) {
        return (cells << 9) & kNotColumn0;
    } else if constexpr (D == 5) {
        return (cells << 7) & kNotColumn7;
    } else if constexpr (D == 6) {
        return (cells >> 7) & kNotColumn0;
    } else {
        return (cells >> 9) & kNotColumn7;
    }
}

// Empty cells next to at least one piece: the cells the search tries.
[[nodiscard]] constexpr std::uint64_t candidateCells(std::uint64_t occupied) {
    const std::uint64_t around = stepTo<0>(occupied) | stepTo<1>(occupied) | stepTo<2>(occupied) |
                                 stepTo<3>(occupied) | stepTo<4>(occupied) | stepTo<5>(occupied) |
                                 stepTo<6>(occupied) | stepTo<7>(occupied);
    return around & ~occupied;
}

// Empty cells that end a run of walkable pieces started by one of the mover's own, in the
// direction of shift S and in the opposite one. Runs are filled one step, another step, then
// two steps twice (at most six pieces fit between a move and its closing piece). `inner`
// holds the walkable pieces such a run may cross: without columns 0 and 7 for the shifts
// that move sideways, so nothing walks round a row's end and the last step needs no mask.
template <int S>
[[nodiscard]] constexpr std::uint64_t runEndsBothWays(std::uint64_t own, std::uint64_t inner) {
    const std::uint64_t upPairs = inner & (inner << S);
    const std::uint64_t downPairs = upPairs >> S;
    std::uint64_t up = inner & (own << S);
    std::uint64_t down = inner & (own >> S);
    up |= inner & (up << S);
    down |= inner & (down >> S);
    up |= upPairs & (up << (2 * S));
    down |= downPairs & (down >> (2 * S));
    up |= upPairs & (up << (2 * S));
    down |= downPairs & (down >> (2 * S));
    return (up << S) | (down >> S);
}

// The empty cells where a piece would turn something, by the line it would turn along: a
// run of walkable pieces that starts next to the cell and ends at one of the mover's pieces.
struct TurningCells {
    std::uint64_t row;
    std::uint64_t column;
    std::uint64_t diagonal;     // step 9
    std::uint64_t antiDiagonal; // step 7

    [[nodiscard]] constexpr std::uint64_t any() const {
        return row | column | diagonal | antiDiagonal;
    }
};

[[nodiscard, gnu::always_inline]] constexpr TurningCells turningCells(std::uint64_t own,
                                                                      std::uint64_t walkable) {
    constexpr std::uint64_t kInnerColumns = kNotColumn0 & kNotColumn7;
    const std::uint64_t inner = walkable & kInnerColumns;
    const std::uint64_t empty = ~(own | walkable);
    return {runEndsBothWays<1>(own, inner) & empty, runEndsBothWays<8>(own, walkable) & empty,
            runEndsBothWays<9>(own, inner) & empty, runEndsBothWays<7>(own, inner) & empty};
}

// Every empty cell where a piece would turn something.
[[nodiscard, gnu::always_inline]] constexpr std::uint64_t cellsThatTurn(std::uint64_t own,
                                                                        std::uint64_t walkable) {
    return turningCells(own, walkable).any();
}

// Whether cellsThatTurn would find any cell: the directions one at a time, stopping at the
// first that has one.
[[nodiscard]] constexpr bool hasMoveThatTurns(std::uint64_t own, std::uint64_t walkable) {
    constexpr std::uint64_t kInnerColumns = kNotColumn0 & kNotColumn7;
    const std::uint64_t inner = walkable & kInnerColumns;
    const std::uint64_t empty = ~(own | walkable);
    return (runEndsBothWays<1>(own, inner) & empty) != 0 ||
           (runEndsBothWays<8>(own, walkable) & empty) != 0 ||
           (runEndsBothWays<9>(own, inner) & empty) != 0 ||
           (runEndsBothWays<7>(own, inner) & empty) != 0;
}

// The pieces a piece put on cell `index` turns: in each direction a line of pieces that are
// not the mover's (walkable), closed by one of the mover's own; a line that meets an empty
// cell or the edge turns nothing. Looked up line by line (see reversi_lines.h): walking the
// eight directions one by one costs more than this whole lookup.
[[nodiscard]] constexpr std::uint64_t flips(int index, std::uint64_t own, std::uint64_t walkable) {
    return reversi_lines::flipsByLines(index, own, walkable);
}

// The same with the pieces' evaluation weight (see evaluate).
[[nodiscard]] constexpr reversi_lines::Turned flipsAndWeight(int index, std::uint64_t own,
                                                             std::uint64_t walkable) {
    return reversi_lines::turnedByLines(index, own, walkable);
}

// Bit count without a library call: builds for any x86-64 lack the popcount instruction.
[[nodiscard]] constexpr int bitCount(std::uint64_t bits) {
    bits = bits - ((bits >> 1) & 0x5555555555555555ULL);
    bits = (bits & 0x3333333333333333ULL) + ((bits >> 2) & 0x3333333333333333ULL);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((bits * 0x0101010101010101ULL) >> 56);
}

// Bytes that each hold the number of set bits of that byte of `bits`.
[[nodiscard]] constexpr std::uint64_t byteCounts(std::uint64_t bits) {
    bits = bits - ((bits >> 1) & 0x5555555555555555ULL);
    bits = (bits & 0x3333333333333333ULL) + ((bits >> 2) & 0x3333333333333333ULL);
    return (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
}

// The weight of some pieces (those one move turns, say): both counts are summed byte by
// byte before the one multiplication adds the bytes (at most 16 a byte, 128 in all, so no
// byte overflows). Branch-free: a loop per piece mispredicts its end.
[[nodiscard]] constexpr int weightOf(std::uint64_t pieces) {
    const std::uint64_t bytes = byteCounts(pieces) + byteCounts(pieces & kFirstRowAndColumn);
    return static_cast<int>((bytes * 0x0101010101010101ULL) >> 56) +
           3 * static_cast<int>(pieces & 1);
}

// Sum of +w for the side's pieces and -w for every other cell, w being 5 for cell 0, 2 for
// the rest of row 0 and column 0 and 1 elsewhere (all weights together: 82).
[[nodiscard]] constexpr int evaluate(std::uint64_t own) {
    return 2 * weightOf(own) - 82;
}

// The weight of one cell in that sum.
[[nodiscard]] constexpr int cellWeight(int index) {
    return index == 0 ? 5 : index < 8 || index % 8 == 0 ? 2 : 1;
}

} // namespace vendrel::reversi_bits
