#include "input_box.h"

#include <string>

#include "main_window.h"
#include "resource.h"
#include "win_text.h"

namespace vendrel::win {

namespace {

// Handed to the dialog procedure; lives in showInputBox's frame for the dialog's whole life.
struct InputBoxParams {
    const InputBoxTexts& box;
    std::wstring okText;
    std::wstring cancelText;
    std::u16string& answer;
};

void initInputBox(HWND dialog, const InputBoxParams& params) {
    if (params.box.isPassword) {
        // This also gives the field the password style, by which screen readers know not to
        // echo what is typed.
        SendDlgItemMessageW(dialog, IDC_INPUT_TEXT, EM_SETPASSWORDCHAR, L'*', 0);
    }
    SetWindowTextW(dialog, toWin(params.box.title).c_str());
    SetDlgItemTextW(dialog, IDC_INPUT_PROMPT, toWin(params.box.prompt).c_str());
    SetDlgItemTextW(dialog, IDC_INPUT_TEXT, toWin(params.box.defaultText).c_str());
    SetDlgItemTextW(dialog, IDOK, params.okText.c_str());
    SetDlgItemTextW(dialog, IDCANCEL, params.cancelText.c_str());
}

std::wstring editText(HWND dialog) {
    const HWND edit = GetDlgItem(dialog, IDC_INPUT_TEXT);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    const int length = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

INT_PTR CALLBACK inputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initInputBox(dialog, *reinterpret_cast<const InputBoxParams*>(lParam));
        // No focus set here: the dialog manager puts it on the edit field, its first tab stop,
        // when the box is activated.
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* params = reinterpret_cast<InputBoxParams*>(GetWindowLongPtrW(dialog, DWLP_USER));
            params->answer = fromWin(editText(dialog));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) { // also Escape and the close box
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

InputBoxResult WinDialogService::showInputBox(const InputBoxTexts& box) {
    InputBoxResult result;
    InputBoxParams params{box, toWin(state_.tr("OK")), toWin(state_.tr("Cancel")), result.text};
    const INT_PTR ended =
        DialogBoxParamW(instance_, box.isMultiLine ? L"inputml" : L"input", window_.hwnd(),
                        inputBoxProc, reinterpret_cast<LPARAM>(&params));
    result.isConfirmed = ended == IDOK;
    if (!result.isConfirmed) {
        result.text.clear();
    }
    return result;
}

std::int32_t WinDialogService::showMessageBox(const std::u16string& caption,
                                              const std::u16string& text, std::uint32_t type) {
    return MessageBoxW(window_.hwnd(), toWin(text).c_str(), toWin(caption).c_str(), type);
}

} // namespace vendrel::win
