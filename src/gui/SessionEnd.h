#pragma once

// The end of the desktop session, as the windowed program meets it.

#include <QObject>

#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace ziffa {

// While it lives, SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) no longer end
// the process at once: each one asks for close to run on the message loop, as soon as the loop
// runs, so that the program ends as a close of its window does, saving what it saves then. A
// signal that arrives meanwhile, during that save, only asks again. close returns false while
// the program can't close yet (its window is still being shown), and is then asked again a
// moment later. The session manager's request to save before a logout runs save.
//
// One instance at a time, made on the GUI thread once the application object exists. Its end
// gives the three signals back the handling they had.
class SessionEnd : public QObject {
public:
    SessionEnd(std::function<bool()> close, std::function<void()> save);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd &) = delete;
    SessionEnd &operator=(const SessionEnd &) = delete;

private:
    void SignalsArrived();
    void Close();

    std::function<bool()> close_;
    std::function<void()> save_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
    std::array<struct sigaction, 3> formerActions_{};
};

} // namespace ziffa
