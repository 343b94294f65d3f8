#pragma once
// The connection dialog as a set of fields: what the player would see, and what was done to it.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/connection_dialog_logic.h"

namespace vendrel::testing {

class FakeConnectionDialogView final : public ConnectionDialogView {
public:
    std::u16string title;
    std::map<ConnectionControl, std::u16string> texts;
    std::map<ConnectionControl, std::size_t> limits;
    std::vector<std::u16string> serverNames;
    std::optional<std::size_t> selection;
    bool isRememberChecked = false;
    bool isTlsChecked = false;
    std::optional<ConnectionControl> focused;
    int beeps = 0;
    bool answerYes = false;
    std::vector<std::u16string> questions; // caption, then text, per question
    std::optional<bool> closedWith;        // the dialog's result once closed

    void setTitle(const std::u16string& text) override { title = text; }
    void setText(ConnectionControl control, const std::u16string& text) override {
        texts[control] = text;
    }
    std::u16string text(ConnectionControl control) override { return texts[control]; }
    void limitText(ConnectionControl control, std::size_t maxLength) override {
        limits[control] = maxLength;
    }
    void setServerNames(const std::vector<std::u16string>& names) override { serverNames = names; }
    void selectServer(std::size_t index) override { selection = index; }
    std::optional<std::size_t> selectedServer() override { return selection; }
    void setRememberPassword(bool isChecked) override { isRememberChecked = isChecked; }
    bool isRememberPasswordChecked() override { return isRememberChecked; }
    void setEncrypted(bool isChecked) override { isTlsChecked = isChecked; }
    bool isEncryptedChecked() override { return isTlsChecked; }
    void focus(ConnectionControl control) override { focused = control; }
    void beep() override { ++beeps; }
    bool askYesNo(const std::u16string& caption, const std::u16string& text) override {
        questions.push_back(caption);
        questions.push_back(text);
        return answerYes;
    }
    void showAbout() override {}
    void close(bool isConfirmed) override { closedWith = isConfirmed; }
};

} // namespace vendrel::testing
