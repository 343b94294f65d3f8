// Any cn4m and rv1m request through the request reader and, at small depths, both move
// searches, compared with the literal reference the unit tests use: the fields as sscanf reads
// them, every cell of the board, and the searches' value, move and node count (which proves
// the same tree was walked), and the answer the server gets. The first byte picks the game
// (bit 0: Reversi); the rest is the text after the keyword.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_failure.h"
#include "games/connect_four.h"
#include "games/move_request.h"
#include "games/reference_search.h"
#include "games/reversi.h"

using vendrel::fuzzing::fail;

namespace {

namespace reference = vendrel::reference;

// Trees larger than this are left to the unit tests: the literal search is slow by design.
constexpr int kMaxDepth = 4;

bool isSaturated(int value) {
    return value == INT_MAX || value == INT_MIN;
}

// Stops a search at its first poll, so only small trees run to the end.
const vendrel::KeepSearching kSmallTreesOnly = [] {
    return false;
};

void checkConnectFour(const std::string& args, const vendrel::MoveRequest& request,
                      const reference::Request& expected) {
    reference::C4Board board{};
    std::copy(expected.cells.begin(), expected.cells.end(), board.begin());
    const auto outcome =
        vendrel::searchConnectFour(board, request.depth, request.side, vendrel::kRootAlpha,
                                   vendrel::kRootBeta, kSmallTreesOnly);
    if (!outcome) {
        return;
    }
    std::uint64_t nodes = 0;
    int move = -1;
    const int value = reference::searchConnectFour(
        board, request.depth, request.side, vendrel::kRootAlpha, vendrel::kRootBeta, &move, &nodes);
    if (outcome->value != value || outcome->move != move || outcome->nodes != nodes ||
        vendrel::connectFourMove(args, {}) != reference::connectFourMove(args)) {
        fail("the Connect Four search differs from the literal one", args);
    }
}

void checkReversi(const std::string& args, const vendrel::MoveRequest& request,
                  const reference::Request& expected) {
    reference::RvBoard board{};
    std::copy(expected.cells.begin(), expected.cells.end(), board.begin());
    const auto outcome =
        vendrel::searchReversi(board, request.depth, request.side, vendrel::kRootAlpha,
                               vendrel::kRootBeta, request.flags, kSmallTreesOnly);
    if (!outcome) {
        return;
    }
    std::uint64_t nodes = 0;
    int move = -1;
    const int value =
        reference::searchReversi(board, request.depth, request.side, vendrel::kRootAlpha,
                                 vendrel::kRootBeta, &move, request.flags, &nodes);
    if (outcome->value != value || outcome->move != move || outcome->nodes != nodes ||
        vendrel::reversiMove(args, {}) != reference::reversiMove(args)) {
        fail("the Reversi search differs from the literal one", args);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool isReversi = (data[0] & 1) != 0;
    const std::string args(reinterpret_cast<const char*>(data) + 1, size - 1);
    const vendrel::MoveRequest request = vendrel::parseMoveRequest(args, isReversi);
    const reference::Request expected = reference::parseRequest(args, isReversi);

    // sscanf's %d is no reference past the int range, where the C library leaves it undefined.
    if (isSaturated(request.side) || isSaturated(request.unused) || isSaturated(request.depth) ||
        isSaturated(request.flags)) {
        return 0;
    }
    if (request.side != expected.side || request.unused != expected.unused ||
        request.depth != expected.depth || request.flags != expected.flags) {
        fail("the request's numbers differ from sscanf's", args);
    }
    int cells[64] = {};
    const std::size_t count = isReversi ? 64 : 42;
    vendrel::readPosition(request.position, std::span<int>(cells, count));
    if (!std::equal(cells, cells + count, expected.cells.begin())) {
        fail("the board differs from the literal reading", args);
    }
    if (!vendrel::isSearchableSide(request.side) || request.depth > kMaxDepth) {
        return 0;
    }
    if (isReversi) {
        checkReversi(args, request, expected);
    } else {
        checkConnectFour(args, request, expected);
    }
    return 0;
}
