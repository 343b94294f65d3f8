// Any cn4m (first byte even) or rv1m request against the literal reference the unit tests
// use: the fields as sscanf reads them, every cell and, at small depths, the searches.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
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
using vendrel::kRootAlpha;
using vendrel::kRootBeta;

// Trees larger than this are left to the unit tests: the literal search is slow by design.
constexpr int kMaxDepth = 4;

// Stops a search at its first poll, so only small trees run to the end.
const vendrel::KeepSearching kSmallTreesOnly = [] {
    return false;
};

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
    for (const int value : {request.side, request.unused, request.depth, request.flags}) {
        if (value == INT_MAX || value == INT_MIN) {
            return 0;
        }
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
    // The searches' value, move and node count (the same tree walked) and the answer.
    std::optional<vendrel::SearchOutcome> outcome;
    std::uint64_t nodes = 0;
    int move = -1;
    int value = 0;
    bool isSameAnswer = false;
    if (isReversi) {
        reference::RvBoard board{};
        std::copy_n(expected.cells.begin(), board.size(), board.begin());
        outcome = vendrel::searchReversi(board, request.depth, request.side, kRootAlpha, kRootBeta,
                                         request.flags, kSmallTreesOnly);
        if (outcome) {
            value = reference::searchReversi(board, request.depth, request.side, kRootAlpha,
                                             kRootBeta, &move, request.flags, &nodes);
            isSameAnswer = vendrel::reversiMove(args, {}) == reference::reversiMove(args);
        }
    } else {
        reference::C4Board board{};
        std::copy_n(expected.cells.begin(), board.size(), board.begin());
        outcome = vendrel::searchConnectFour(board, request.depth, request.side, kRootAlpha,
                                             kRootBeta, kSmallTreesOnly);
        if (outcome) {
            value = reference::searchConnectFour(board, request.depth, request.side, kRootAlpha,
                                                 kRootBeta, &move, &nodes);
            isSameAnswer = vendrel::connectFourMove(args, {}) == reference::connectFourMove(args);
        }
    }
    if (outcome && (outcome->value != value || outcome->move != move || outcome->nodes != nodes ||
                    !isSameAnswer)) {
        fail("a search differs from the literal one", args);
    }
    return 0;
}
