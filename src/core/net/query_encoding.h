#pragma once
// The login record travels in the handshake URL, Base64-encoded with the URL-safe alphabet
// and '.' for padding, so that it needs no further escaping there.

#include <string>
#include <string_view>

namespace vendrel {

// Bytes are taken as unsigned; no line breaks. "a" -> "YQ..", 0xFF 0xFE -> "__4.".
[[nodiscard]] std::string encodeQuery(std::string_view bytes);

} // namespace vendrel
