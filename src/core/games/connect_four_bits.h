#pragma once
// Connect Four on one 64-bit mask per kind of piece. Column x holds bits 7x .. 7x+5 (row 0
// lowest) and a seventh, always clear bit above, so a shift by 1 (up), 7 (right), 8 (up and
// right) or 6 (down and right) never carries a piece into another line.

#include <bit>
#include <cstdint>

namespace vendrel::connect_four_bits {

inline constexpr int kColumns = 7;
inline constexpr int kRows = 6;
inline constexpr std::uint64_t kColumnMask = 0x3F;
inline constexpr std::uint64_t kBoardMask = 0xFDFBF7EFDFBFULL; // seven columns of 0x3F
inline constexpr int kLineShifts[4] = {1, 7, 8, 6};

[[nodiscard]] constexpr std::uint64_t bitAt(int x, int y) {
    return std::uint64_t{1} << (7 * x + y);
}

[[nodiscard]] constexpr std::uint64_t columnMask(int x) {
    return kColumnMask << (7 * x);
}

// Sum over the pieces of the mask of the run scores in all four directions. A cell's run
// score is 1, 10, 250 or 10000 for a forward run of 1, 2, 3 or 4 and more; written as steps
// (1, +9, +240, +9750) it is the number of windows of 1, 2, 3 and 4 pieces in a line times
// those steps, and windows do not care which end a run is counted from.
[[nodiscard]] constexpr int runScoreSum(std::uint64_t pieces) {
    int sum = 4 * std::popcount(pieces);
    for (const int shift : kLineShifts) {
        const std::uint64_t two = pieces & (pieces >> shift);
        const std::uint64_t three = two & (pieces >> (2 * shift));
        const std::uint64_t four = three & (pieces >> (3 * shift));
        sum += 9 * std::popcount(two) + 240 * std::popcount(three) + 9750 * std::popcount(four);
    }
    return sum;
}

[[nodiscard]] constexpr bool hasFour(std::uint64_t pieces) {
    for (const int shift : kLineShifts) {
        const std::uint64_t two = pieces & (pieces >> shift);
        if ((two & (two >> (2 * shift))) != 0) {
            return true;
        }
    }
    return false;
}

// The cell a piece dropped into column x lands on: the lowest empty one, even below pieces
// (a position from the server need not obey gravity). 0 when the column is full.
[[nodiscard]] constexpr std::uint64_t dropCell(std::uint64_t occupied, int x) {
    const std::uint64_t empty = ~occupied & columnMask(x);
    return empty & (0 - empty);
}

} // namespace vendrel::connect_four_bits
