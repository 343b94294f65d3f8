#pragma once
// Incremental Connect Four scoring. Besides the column-major mask, each side keeps its pieces
// in three more layouts in which rows, diagonals and anti-diagonals lie in consecutive bits,
// so the line through a cell in any direction is one shift and mask away. A table then gives
// what dropping a piece adds to its side's run scores, and whether it completes four.

#include "games/connect_four_bits.h"

#include <array>
#include <cstdint>

namespace vendrel::connect_four_lines {

// One side's pieces in the four layouts: columns (the common mask), rows, diagonals (up to
// the right) and anti-diagonals (up to the left).
struct Lines {
    std::uint64_t columns = 0;
    std::uint64_t rows = 0;
    std::uint64_t diagonals = 0;
    std::uint64_t antiDiagonals = 0;
};

// Where a cell sits in each layout: the shift that brings its line to bit 0 and its position
// on that line. Lines of a single cell share an always-empty slot at bit 60.
struct CellPlace {
    std::uint64_t rowBit = 0;
    std::uint64_t diagonalBit = 0;
    std::uint64_t antiDiagonalBit = 0;
    std::uint8_t shift[4] = {};
    std::uint8_t position[4] = {};
};

inline constexpr int kSingleCellSlot = 60;

[[nodiscard]] constexpr std::array<CellPlace, 49> makeCellPlaces() {
    std::array<CellPlace, 49> places{};
    for (int x = 0; x < 7; ++x) {
        for (int y = 0; y < 6; ++y) {
            CellPlace& place = places[static_cast<std::size_t>(7 * x + y)];
            place.shift[0] = static_cast<std::uint8_t>(7 * x);
            place.position[0] = static_cast<std::uint8_t>(y);
            place.shift[1] = static_cast<std::uint8_t>(8 * y);
            place.position[1] = static_cast<std::uint8_t>(x);
            // Diagonal x - y = k, k -5..6; its cells counted from the lower end.
            const int k = x - y;
            int slot = k >= -4 && k <= 5 ? 6 * (k + 4) : kSingleCellSlot;
            int along = x < y ? x : y;
            place.shift[2] = static_cast<std::uint8_t>(slot);
            place.position[2] = static_cast<std::uint8_t>(slot == kSingleCellSlot ? 0 : along);
            place.diagonalBit = std::uint64_t{slot == kSingleCellSlot ? 0u : 1u} << (slot + along);
            // Anti-diagonal x + y = s, s 0..11; cells counted from the lowest row.
            const int s = x + y;
            slot = s >= 1 && s <= 10 ? 6 * (s - 1) : kSingleCellSlot;
            along = y - (s > 6 ? s - 6 : 0);
            place.shift[3] = static_cast<std::uint8_t>(slot);
            place.position[3] = static_cast<std::uint8_t>(slot == kSingleCellSlot ? 0 : along);
            place.antiDiagonalBit = std::uint64_t{slot == kSingleCellSlot ? 0u : 1u}
                                    << (slot + along);
            place.rowBit = std::uint64_t{1} << (8 * y + x);
        }
    }
    return places;
}

inline constexpr std::array<CellPlace, 49> kCellPlaces = makeCellPlaces();

// For an empty cell at `position` of a line whose pieces are `pattern`: the run-score gain of
// a piece there, times two, plus one when it completes four. Only three cells either way
// matter, as no scored window is longer than four.
[[nodiscard]] constexpr std::array<int, 8 * 256> makeGainTable() {
    constexpr int kSteps[5] = {0, 1, 9, 240, 9750};
    std::array<int, 8 * 256> table{};
    for (int position = 0; position < 8; ++position) {
        for (int pattern = 0; pattern < 256; ++pattern) {
            int before = 0;
            while (before < 3 && position - before - 1 >= 0 &&
                   ((pattern >> (position - before - 1)) & 1) != 0) {
                ++before;
            }
            int after = 0;
            while (after < 3 && position + after + 1 < 8 &&
                   ((pattern >> (position + after + 1)) & 1) != 0) {
                ++after;
            }
            const int length = before + after + 1;
            int gain = 0;
            for (int size = 1; size <= 4; ++size) {
                const int first = before - size + 1 > 0 ? before - size + 1 : 0;
                const int last = before < length - size ? before : length - size;
                if (last >= first) {
                    gain += kSteps[size] * (last - first + 1);
                }
            }
            table[static_cast<std::size_t>(position * 256 + pattern)] =
                2 * gain + (length >= 4 ? 1 : 0);
        }
    }
    return table;
}

inline constexpr std::array<int, 8 * 256> kGainTable = makeGainTable();

// A line's bits in each layout: a column's six and its clear seventh, a row's seven and a
// clear eighth, a diagonal's six at most (its unused bits stay clear).
inline constexpr std::uint64_t kLineMask[4] = {0x7F, 0xFF, 0x3F, 0x3F};

// The gain (times two, plus the four flag) of a piece on main-mask bit `index`.
[[nodiscard]] inline int gainOf(const Lines& lines, int index) {
    const CellPlace& place = kCellPlaces[static_cast<std::size_t>(index)];
    const auto entry = [&](std::uint64_t layout, int direction) {
        const auto pattern =
            static_cast<std::size_t>((layout >> place.shift[direction]) & kLineMask[direction]);
        return kGainTable[place.position[direction] * 256u + pattern];
    };
    const int column = entry(lines.columns, 0);
    const int row = entry(lines.rows, 1);
    const int diagonal = entry(lines.diagonals, 2);
    const int antiDiagonal = entry(lines.antiDiagonals, 3);
    return ((column >> 1) + (row >> 1) + (diagonal >> 1) + (antiDiagonal >> 1)) * 2 +
           ((column | row | diagonal | antiDiagonal) & 1);
}

[[nodiscard]] inline Lines withPiece(const Lines& lines, int index) {
    const CellPlace& place = kCellPlaces[static_cast<std::size_t>(index)];
    return {lines.columns | (std::uint64_t{1} << index), lines.rows | place.rowBit,
            lines.diagonals | place.diagonalBit, lines.antiDiagonals | place.antiDiagonalBit};
}

[[nodiscard]] constexpr Lines linesOf(std::uint64_t columns) {
    Lines lines;
    for (int index = 0; index < 49; ++index) {
        if (((columns >> index) & 1) != 0) {
            const CellPlace& place = kCellPlaces[static_cast<std::size_t>(index)];
            lines.columns |= std::uint64_t{1} << index;
            lines.rows |= place.rowBit;
            lines.diagonals |= place.diagonalBit;
            lines.antiDiagonals |= place.antiDiagonalBit;
        }
    }
    return lines;
}

} // namespace vendrel::connect_four_lines
