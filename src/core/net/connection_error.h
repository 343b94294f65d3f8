#pragma once
// What the player is told when connecting has finally failed.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vendrel {

// The refusal reason when there is one; for a TLS failure its own text ("tlscertificateerror"
// for a certificate that failed the checks, "tlserror" otherwise); for a system error the
// translated prologue, the system's own text and the code; otherwise "connecterror". A
// refusal without a reason still says something: the program is about to end and must not
// go silent.
[[nodiscard]] std::u16string
connectionErrorText(int result, std::string_view lastError, const std::u16string& systemText,
                    const std::function<std::u16string(std::string_view)>& tr);

} // namespace vendrel
