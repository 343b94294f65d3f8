#include "games/move_request.h"

#include "text/format.h"
#include "text/numbers.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vendrel {
namespace {

bool isScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One "%d" (after the " " of the format, which %d skips anyway). False when no digits come.
bool scanInteger(std::string_view& rest, int& out) {
    const ParsedInteger parsed = parseInteger(rest, 10);
    if (parsed.length == 0) {
        return false;
    }
    out = static_cast<int>(std::clamp<std::int64_t>(parsed.value,
                                                    std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max()));
    rest.remove_prefix(parsed.length);
    return true;
}

std::string scanWord(std::string_view rest) {
    std::size_t begin = 0;
    while (begin < rest.size() && isScanSpace(rest[begin])) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < rest.size() && !isScanSpace(rest[end])) {
        ++end;
    }
    return std::string(rest.substr(begin, end - begin));
}

} // namespace

MoveRequest parseMoveRequest(std::string_view args, bool hasFlags) {
    args = args.substr(0, args.find('\0'));
    MoveRequest request;
    int* const numbers[] = {&request.side, &request.unused, &request.depth, &request.flags};
    const std::size_t count = hasFlags ? 4 : 3;
    for (std::size_t i = 0; i < count; ++i) {
        if (!scanInteger(args, *numbers[i])) {
            return request;
        }
    }
    request.position = scanWord(args);
    return request;
}

void readPosition(std::string_view text, std::span<int> cells) {
    std::fill(cells.begin(), cells.end(), 0);
    const std::size_t count = std::min(text.size(), cells.size());
    for (std::size_t i = 0; i < count; ++i) {
        const int byte = static_cast<unsigned char>(text[i]);
        cells[i] = byte > '/' ? byte - '1' : byte;
    }
}

std::string moveAnswer(std::string_view moveText) {
    return formatText(29, "inbx 28\x7f%s", moveText);
}

} // namespace vendrel
