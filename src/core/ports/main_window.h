#pragma once
// The main window as the core sees it.

#include <string>

namespace vendrel {

class MainWindow {
public:
    virtual ~MainWindow() = default;

    // Any thread (the shell marshals it onto the GUI thread).
    virtual void setTitle(const std::u16string& title) = 0;
};

} // namespace vendrel
