#pragma once
// The move searches written step by step over plain arrays, as slowly and literally as the
// rules read: the oracle the bitboard searches are compared with, in the tests and in the
// benchmark. Nothing here is clever on purpose; keep it that way.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vendrel::reference {

inline constexpr int kRunScore[9] = {0, 1, 10, 250, 10000, 10000, 10000, 10000, 10000};
inline constexpr int kDirections[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};

using C4Board = std::array<int, 42>;
using RvBoard = std::array<int, 64>;

inline int connectFourRun(const C4Board& board, int x, int y, int dx, int dy) {
    const int value = board[static_cast<std::size_t>(x + 7 * y)];
    if (value == -1) {
        return 0;
    }
    int run = 1;
    for (int cx = x + dx, cy = y + dy; cx >= 0 && cx < 7 && cy >= 0 && cy < 6 &&
                                       board[static_cast<std::size_t>(cx + 7 * cy)] == value;
         cx += dx, cy += dy) {
        ++run;
    }
    return run;
}

inline int connectFourEvaluate(const C4Board& board, int side) {
    int sum = 0;
    for (int cell = 0; cell < 42; ++cell) {
        int s = 0;
        for (const auto& d : kDirections) {
            s += kRunScore[connectFourRun(board, cell % 7, cell / 7, d[0], d[1])];
        }
        sum += board[static_cast<std::size_t>(cell)] == side ? s : -s;
    }
    return sum;
}

inline bool connectFourHasFour(const C4Board& board) {
    for (int cell = 0; cell < 42; ++cell) {
        for (const auto& d : kDirections) {
            if (connectFourRun(board, cell % 7, cell / 7, d[0], d[1]) >= 4) {
                return true;
            }
        }
    }
    return false;
}

// The row a piece dropped into column x lands on, or -1 when the column is full.
inline int connectFourDropRow(const C4Board& board, int x) {
    for (int y = 0; y < 6; ++y) {
        if (board[static_cast<std::size_t>(x + 7 * y)] == -1) {
            return y;
        }
    }
    return -1;
}

inline int searchConnectFour(C4Board& board, int depth, int side, int alpha, int beta, int* best,
                             std::uint64_t* nodes = nullptr) {
    if (nodes != nullptr) {
        ++*nodes;
    }
    if (depth <= 0) {
        return connectFourEvaluate(board, side);
    }
    if (connectFourHasFour(board)) {
        return -999999999;
    }
    int bestValue = -1000000001;
    for (int x = 0; x < 7; ++x) {
        const int y = connectFourDropRow(board, x);
        if (y < 0) {
            continue;
        }
        const auto cell = static_cast<std::size_t>(x + 7 * y);
        board[cell] = side;
        const int v = -searchConnectFour(board, depth - 1, 1 - side, -beta, -alpha, nullptr, nodes);
        board[cell] = -1;
        if (v > bestValue) {
            bestValue = v;
            if (best != nullptr) {
                *best = x;
            }
        }
        alpha = std::max(alpha, v);
        if (alpha >= beta) {
            return alpha;
        }
    }
    return bestValue;
}

inline int reversiWeight(int cell) {
    if (cell == 0) {
        return 5;
    }
    return cell % 8 == 0 || cell / 8 == 0 ? 2 : 1;
}

inline bool reversiInside(int x, int y) {
    return x >= 0 && x < 8 && y >= 0 && y < 8;
}

inline bool reversiHasOccupiedNeighbour(const RvBoard& board, int cell) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = cell % 8 + dx;
            const int y = cell / 8 + dy;
            if ((dx != 0 || dy != 0) && reversiInside(x, y) &&
                board[static_cast<std::size_t>(x + 8 * y)] != -1) {
                return true;
            }
        }
    }
    return false;
}

inline std::vector<int> reversiCandidates(const RvBoard& board, int flags) {
    std::vector<int> candidates;
    if ((flags & 2) != 0) {
        candidates.push_back(-1);
    }
    for (int cell = 0; cell < 64; ++cell) {
        if (board[static_cast<std::size_t>(cell)] == -1 &&
            reversiHasOccupiedNeighbour(board, cell)) {
            candidates.push_back(cell);
        }
    }
    return candidates;
}

// Puts side's piece on cell (unless it is the pass) and turns what it closes; returns the
// number of pieces turned.
inline int reversiPlay(RvBoard& board, int cell, int side) {
    if (cell < 0) {
        return 0;
    }
    board[static_cast<std::size_t>(cell)] = side;
    int count = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) {
                continue;
            }
            int x = cell % 8 + dx;
            int y = cell / 8 + dy;
            int walked = 0;
            while (reversiInside(x, y) && board[static_cast<std::size_t>(x + 8 * y)] != -1 &&
                   board[static_cast<std::size_t>(x + 8 * y)] != side) {
                x += dx;
                y += dy;
                ++walked;
            }
            if (!reversiInside(x, y) || board[static_cast<std::size_t>(x + 8 * y)] != side) {
                continue;
            }
            for (int i = 1; i <= walked; ++i) {
                board[static_cast<std::size_t>(cell % 8 + i * dx + 8 * (cell / 8 + i * dy))] = side;
            }
            count += walked;
        }
    }
    return count;
}

inline int searchReversi(const RvBoard& board, int depth, int side, int alpha, int beta, int* best,
                         int flags, std::uint64_t* nodes = nullptr) {
    if (nodes != nullptr) {
        ++*nodes;
    }
    if (depth <= 0) {
        int sum = 0;
        for (int cell = 0; cell < 64; ++cell) {
            const int w = reversiWeight(cell);
            sum += board[static_cast<std::size_t>(cell)] == side ? w : -w;
        }
        return sum;
    }
    int bestValue = -1000000001;
    for (const int candidate : reversiCandidates(board, flags)) {
        RvBoard copy = board;
        const int count = reversiPlay(copy, candidate, side);
        if ((flags & 1) != 0 && count == 0) {
            continue;
        }
        const int v =
            -searchReversi(copy, depth - 1, 1 - side, -beta, -alpha, nullptr, flags, nodes);
        if (v > bestValue) {
            bestValue = v;
            if (best != nullptr) {
                *best = candidate;
            }
        }
        alpha = std::max(alpha, v);
        if (alpha >= beta) {
            return alpha;
        }
    }
    return bestValue;
}

struct Request {
    int side = 0;
    int unused = 0;
    int depth = 0;
    int flags = 0;
    std::vector<int> cells;
};

// The request read with sscanf itself into a zero-filled buffer, then converted cell by cell.
inline Request parseRequest(const std::string& args, bool isReversi) {
    Request request;
    std::vector<char> text(args.size() + 65, '\0');
    if (isReversi) {
        // NOLINTNEXTLINE(cert-err34-c): the protocol reads its numbers exactly this way.
        (void)std::sscanf(args.c_str(), "%d %d %d %d %s", &request.side, &request.unused,
                          &request.depth, &request.flags, text.data());
    } else {
        (void)std::sscanf(args.c_str(), "%d %d %d %s", &request.side, &request.unused,
                          &request.depth, text.data());
    }
    const int count = isReversi ? 64 : 42;
    for (int i = 0; i < count; ++i) {
        const int byte = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        request.cells.push_back(byte > '/' ? byte - '1' : byte);
    }
    return request;
}

// The whole job: parse, search from the root window with no move chosen yet, the answer.
inline std::string connectFourMove(const std::string& args) {
    const Request request = parseRequest(args, false);
    C4Board board{};
    std::copy(request.cells.begin(), request.cells.end(), board.begin());
    int best = -1;
    searchConnectFour(board, request.depth, request.side, -1000000000, 1000000000, &best);
    return std::to_string(best);
}

inline std::string reversiMove(const std::string& args) {
    const Request request = parseRequest(args, true);
    RvBoard board{};
    std::copy(request.cells.begin(), request.cells.end(), board.begin());
    int best = -1;
    searchReversi(board, request.depth, request.side, -1000000000, 1000000000, &best,
                  request.flags);
    return std::to_string(best);
}

} // namespace vendrel::reference
