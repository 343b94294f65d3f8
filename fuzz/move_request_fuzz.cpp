// Any cn4m (first byte even) or rv1m request against the literal reference the unit tests
// use: the fields as sscanf reads them and every cell. The searches are compared with the
// literal ones on random requests by the unit tests (games/differential_test.cpp).

#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_failure.h"
#include "games/move_request.h"
#include "games/reference_search.h"

using vendrel::fuzzing::fail;

namespace reference = vendrel::reference;

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
    return 0;
}
