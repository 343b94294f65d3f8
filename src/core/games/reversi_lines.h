#pragma once
// The four lines through a cell (row, column and the two diagonals) as bytes, and what a
// piece put on a line turns, looked up instead of walked. A line's byte holds one bit per
// cell: the column for a row or a diagonal, and the row counted from the far end for a
// column. Gathering a line into a byte and spreading a byte back is one multiplication.

#include <array>
#include <cstdint>

namespace vendrel::reversi_lines {

using LineTable = std::array<std::array<std::uint8_t, 256>, 8>;

// For a piece at line position p and the line's walkable cells: the first cell on each side
// beyond a run of at least one walkable cell that starts next to p; where that cell holds
// one of the mover's pieces, the run turns.
[[nodiscard]] constexpr LineTable makeOutflanks() {
    LineTable table{};
    for (int p = 0; p < 8; ++p) {
        for (int walkable = 0; walkable < 256; ++walkable) {
            int bits = 0;
            for (const int step : {-1, 1}) {
                int q = p + step;
                while (q >= 0 && q < 8 && (walkable & (1 << q)) != 0) {
                    q += step;
                }
                if (q >= 0 && q < 8 && q != p + step) {
                    bits |= 1 << q;
                }
            }
            table[static_cast<std::size_t>(p)][static_cast<std::size_t>(walkable)] =
                static_cast<std::uint8_t>(bits);
        }
    }
    return table;
}

// For a piece at line position p and the outflanking cells that hold the mover's pieces:
// the cells between p and each of them.
[[nodiscard]] constexpr LineTable makeLineFlips() {
    LineTable table{};
    for (int p = 0; p < 8; ++p) {
        for (int outflanks = 0; outflanks < 256; ++outflanks) {
            int bits = 0;
            for (int q = 0; q < 8; ++q) {
                if ((outflanks & (1 << q)) == 0) {
                    continue;
                }
                for (int between = (q < p ? q : p) + 1; between < (q < p ? p : q); ++between) {
                    bits |= 1 << between;
                }
            }
            table[static_cast<std::size_t>(p)][static_cast<std::size_t>(outflanks)] =
                static_cast<std::uint8_t>(bits);
        }
    }
    return table;
}

inline constexpr LineTable kOutflanks = makeOutflanks();
inline constexpr LineTable kLineFlips = makeLineFlips();

inline constexpr std::uint64_t kColumn0 = 0x0101010101010101ULL;
// Multiplying column 0 by this puts row r's cell on bit 63 - r: each row lands on its own
// bit of the top byte, and no two partial products share a bit, so nothing carries.
inline constexpr std::uint64_t kColumnGather = 0x8040201008040201ULL;
// Multiplying a byte by this copies it into every row; no two copies share a bit either.
inline constexpr std::uint64_t kEveryRow = 0x0101010101010101ULL;

// A column byte (bit 7 - r for row r) spread back onto column 0.
[[nodiscard]] constexpr std::array<std::uint64_t, 256> makeColumnCells() {
    std::array<std::uint64_t, 256> table{};
    for (int bits = 0; bits < 256; ++bits) {
        for (int r = 0; r < 8; ++r) {
            if ((bits & (1 << (7 - r))) != 0) {
                table[static_cast<std::size_t>(bits)] |= std::uint64_t{1} << (8 * r);
            }
        }
    }
    return table;
}

inline constexpr auto kColumnCells = makeColumnCells();

// The cells of the diagonal (step +9, slope 1) or the anti-diagonal (step +7) through each
// cell: at most one a column, so a diagonal gathers into a byte by column.
[[nodiscard]] constexpr std::array<std::uint64_t, 64> makeDiagonals(int slope) {
    std::array<std::uint64_t, 64> table{};
    for (int index = 0; index < 64; ++index) {
        for (int x = 0; x < 8; ++x) {
            const int y = index / 8 + slope * (x - index % 8);
            if (y >= 0 && y < 8) {
                table[static_cast<std::size_t>(index)] |= std::uint64_t{1} << (x + 8 * y);
            }
        }
    }
    return table;
}

inline constexpr auto kDiagonals = makeDiagonals(1);
inline constexpr auto kAntiDiagonals = makeDiagonals(-1);

// What a piece at position p of a line byte turns on that line.
[[nodiscard]] constexpr std::uint32_t lineFlips(int p, std::uint64_t own, std::uint64_t walkable) {
    const auto position = static_cast<std::size_t>(p);
    const std::uint8_t outflanks = kOutflanks[position][walkable];
    return kLineFlips[position][outflanks & own];
}

// The pieces a piece put on cell `index` turns, line by line.
[[nodiscard]] constexpr std::uint64_t flipsByLines(int index, std::uint64_t own,
                                                   std::uint64_t walkable) {
    const int x = index & 7;
    const int y = index >> 3;
    const int rowShift = 8 * y;
    std::uint64_t turned =
        std::uint64_t{lineFlips(x, (own >> rowShift) & 0xFF, (walkable >> rowShift) & 0xFF)}
        << rowShift;
    const std::uint64_t columnOwn = (((own >> x) & kColumn0) * kColumnGather) >> 56;
    const std::uint64_t columnWalkable = (((walkable >> x) & kColumn0) * kColumnGather) >> 56;
    turned |= kColumnCells[lineFlips(7 - y, columnOwn, columnWalkable)] << x;
    for (const auto* diagonals : {&kDiagonals, &kAntiDiagonals}) {
        const std::uint64_t line = (*diagonals)[static_cast<std::size_t>(index)];
        const std::uint64_t lineOwn = ((own & line) * kEveryRow) >> 56;
        const std::uint64_t lineWalkable = ((walkable & line) * kEveryRow) >> 56;
        turned |= (lineFlips(x, lineOwn, lineWalkable) * kEveryRow) & line;
    }
    return turned;
}

} // namespace vendrel::reversi_lines
