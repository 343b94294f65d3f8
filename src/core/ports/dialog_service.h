#pragma once
// The modal boxes the server asks for: input boxes and message boxes, owned by the main window.

#include <cstdint>
#include <string>

namespace vendrel {

struct InputBoxTexts {
    std::u16string title;
    std::u16string prompt; // the edit field's label: screen readers read it as the field's name
    std::u16string defaultText;
    bool isMultiLine = false;
    bool isPassword = false; // shown masked; the text itself is handed back in clear
};

struct InputBoxResult {
    bool isConfirmed = false; // OK; Cancel, Escape and the close box leave it false
    std::u16string text;      // the edit field's whole content when confirmed
};

class DialogService {
public:
    virtual ~DialogService() = default;

    // GUI thread only: the modal input dialog; returns when the player has closed it.
    [[nodiscard]] virtual InputBoxResult showInputBox(const InputBoxTexts& box) = 0;

    // Any thread: the box runs its own loop on the calling thread, modal to the main window.
    // type is the system's message box style word, passed unchanged. Returns the system's
    // answer id (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No), 0 when the box
    // could not be shown.
    [[nodiscard]] virtual std::int32_t showMessageBox(const std::u16string& caption,
                                                      const std::u16string& text,
                                                      std::uint32_t type) = 0;
};

} // namespace vendrel
