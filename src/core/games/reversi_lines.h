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

// Where a cell sits on its four lines: its position on the row and diagonal bytes (x) and
// on the column byte (7 - y), the row's shift, the diagonals' cells, and which rows of
// kTurnedWeights weigh what it turns along its row and its column.
struct CellLines {
    std::uint64_t diagonal;
    std::uint64_t antiDiagonal;
    std::uint8_t x;
    std::uint8_t rowShift;
    std::uint8_t columnPosition;
    std::uint8_t rowWeights;
    std::uint8_t columnWeights;
};

[[nodiscard]] constexpr std::array<CellLines, 64> makeCellLines() {
    std::array<CellLines, 64> cells{};
    for (std::size_t index = 0; index < 64; ++index) {
        const auto x = static_cast<std::uint8_t>(index % 8);
        const auto y = static_cast<std::uint8_t>(index / 8);
        cells[index] = {kDiagonals[index],
                        kAntiDiagonals[index],
                        x,
                        static_cast<std::uint8_t>(8 * y),
                        static_cast<std::uint8_t>(7 - y),
                        static_cast<std::uint8_t>(y == 0 ? x + 8 : x),
                        static_cast<std::uint8_t>(x == 0 ? 15 - y : 7 - y)};
    }
    return cells;
}

inline constexpr auto kCellLines = makeCellLines();

// The evaluation weight of what a piece at each position of a line turns, by the mover's
// outflanking pieces (as kLineFlips): rows 0 to 7 for a line of weight-one cells, rows 8 to
// 15 for row 0 and column 0, whose cells (but for cell 0, which never turns) weigh two.
[[nodiscard]] constexpr std::array<std::array<std::uint8_t, 256>, 16> makeTurnedWeights() {
    std::array<std::array<std::uint8_t, 256>, 16> table{};
    for (std::size_t p = 0; p < 8; ++p) {
        for (std::size_t outflanks = 0; outflanks < 256; ++outflanks) {
            int count = 0;
            for (int bits = kLineFlips[p][outflanks]; bits != 0; bits &= bits - 1) {
                ++count;
            }
            table[p][outflanks] = static_cast<std::uint8_t>(count);
            table[p + 8][outflanks] = static_cast<std::uint8_t>(2 * count);
        }
    }
    return table;
}

inline constexpr auto kTurnedWeights = makeTurnedWeights();

// The weight turned on one line byte by a piece at position p, weighed by row `weights`.
[[nodiscard]] constexpr int lineTurnedWeight(int p, int weights, std::uint64_t own,
                                             std::uint64_t walkable) {
    const std::uint8_t outflanks = kOutflanks[static_cast<std::size_t>(p)][walkable];
    return kTurnedWeights[static_cast<std::size_t>(weights)][outflanks & own];
}

// The evaluation weight of what a piece put on cell `index` turns, when every walkable piece
// is the opponent's, counting only the lines asked for (a caller that knows which lines turn
// skips the others). Only cells strictly inside a line turn, so cell 0 never does, and the
// other weighted cells (row 0, column 0) turn only along row 0 or column 0 themselves: those
// two lines weigh twice, and nothing is spread back onto the board.
[[nodiscard]] constexpr int turnedWeightOn(int index, std::uint64_t own, std::uint64_t walkable,
                                           bool row, bool column, bool diagonal,
                                           bool antiDiagonal) {
    const CellLines& cell = kCellLines[static_cast<std::size_t>(index)];
    int weight = 0;
    if (row) {
        weight += lineTurnedWeight(cell.x, cell.rowWeights, (own >> cell.rowShift) & 0xFF,
                                   (walkable >> cell.rowShift) & 0xFF);
    }
    if (column) {
        const std::uint64_t columnOwn = (((own >> cell.x) & kColumn0) * kColumnGather) >> 56;
        const std::uint64_t columnWalkable =
            (((walkable >> cell.x) & kColumn0) * kColumnGather) >> 56;
        weight +=
            lineTurnedWeight(cell.columnPosition, cell.columnWeights, columnOwn, columnWalkable);
    }
    if (diagonal) {
        weight += lineTurnedWeight(cell.x, cell.x, ((own & cell.diagonal) * kEveryRow) >> 56,
                                   ((walkable & cell.diagonal) * kEveryRow) >> 56);
    }
    if (antiDiagonal) {
        weight += lineTurnedWeight(cell.x, cell.x, ((own & cell.antiDiagonal) * kEveryRow) >> 56,
                                   ((walkable & cell.antiDiagonal) * kEveryRow) >> 56);
    }
    return weight;
}

// The same over all four lines.
[[nodiscard]] constexpr int turnedWeight(int index, std::uint64_t own, std::uint64_t walkable) {
    return turnedWeightOn(index, own, walkable, true, true, true, true);
}

// What a piece put on cell `index` turns, and the evaluation weight of those pieces.
struct Turned {
    std::uint64_t cells;
    int weight;
};

// Line by line: each line's outflanking pieces give both what turns on it and its weight
// (see turnedWeight for why the weights need no board lookup).
[[nodiscard]] constexpr Turned turnedByLines(int index, std::uint64_t own, std::uint64_t walkable) {
    const CellLines& cell = kCellLines[static_cast<std::size_t>(index)];
    const std::size_t x = cell.x;
    const std::size_t rowOutflanks =
        kOutflanks[x][(walkable >> cell.rowShift) & 0xFF] & ((own >> cell.rowShift) & 0xFF);
    std::uint64_t turned = std::uint64_t{kLineFlips[x][rowOutflanks]} << cell.rowShift;
    int weight = kTurnedWeights[cell.rowWeights][rowOutflanks];

    const std::uint64_t columnOwn = (((own >> x) & kColumn0) * kColumnGather) >> 56;
    const std::uint64_t columnWalkable = (((walkable >> x) & kColumn0) * kColumnGather) >> 56;
    const std::size_t columnOutflanks = kOutflanks[cell.columnPosition][columnWalkable] & columnOwn;
    turned |= kColumnCells[kLineFlips[cell.columnPosition][columnOutflanks]] << x;
    weight += kTurnedWeights[cell.columnWeights][columnOutflanks];

    for (const std::uint64_t line : {cell.diagonal, cell.antiDiagonal}) {
        const std::uint64_t lineOwn = ((own & line) * kEveryRow) >> 56;
        const std::uint64_t lineWalkable = ((walkable & line) * kEveryRow) >> 56;
        const std::size_t outflanks = kOutflanks[x][lineWalkable] & lineOwn;
        turned |= (kLineFlips[x][outflanks] * kEveryRow) & line;
        weight += kTurnedWeights[x][outflanks];
    }
    return {turned, weight};
}

// The pieces a piece put on cell `index` turns.
[[nodiscard]] constexpr std::uint64_t flipsByLines(int index, std::uint64_t own,
                                                   std::uint64_t walkable) {
    return turnedByLines(index, own, walkable).cells;
}

} // namespace vendrel::reversi_lines
