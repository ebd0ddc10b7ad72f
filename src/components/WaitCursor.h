#pragma once

namespace ziffa {

// Shows the hourglass as the application-wide cursor for its lifetime, when there is a GUI
// application to show it; the cursor comes back however the scope is left.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool active_ = false;
};

} // namespace ziffa
