#pragma once
// The one route onto the GUI thread: client state and windows change only there.

#include <functional>

namespace vendrel {

class GuiThread {
public:
    virtual ~GuiThread() = default;

    // Any thread. Runs the function on the GUI thread and returns when it has run; on the GUI
    // thread itself it runs at once. Never call it while holding the socket's lock. Before the
    // main window exists or after it is gone the function does not run and false is returned.
    virtual bool run(const std::function<void()>& work) = 0;
};

} // namespace vendrel
