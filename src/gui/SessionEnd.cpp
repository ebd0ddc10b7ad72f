#include "gui/SessionEnd.h"

#include "system/FileDescriptor.h"

#include <QGuiApplication>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ziffa {

namespace {

constexpr std::array kSignals = {SIGTERM, SIGHUP, SIGINT};

// The pipe's writing end, for the signal handler, which can reach nothing else: the only state a
// handler may share with the program.
std::atomic<int> signalPipe{-1};

extern "C" void OnSessionSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request; this one may go.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe.load(), &byte, 1);
    errno = saved;
}

} // namespace

SessionEnd::SessionEnd(std::function<bool()> close, std::function<void()> save)
    : close_(std::move(close)), save_(std::move(save)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return; // the signals keep ending the process at once
    }
    signalPipe.store(pipe_[1]);
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { SignalsArrived(); });
    struct sigaction action {};
    action.sa_handler = OnSessionSignal;
    sigemptyset(&action.sa_mask);
    // Each handler keeps the others out while it runs; calls that a signal interrupts go on.
    for (const int number : kSignals)
        sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESTART;
    // A signal that the program was started to ignore stays ignored (nohup, a background job).
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        if (::sigaction(kSignals[i], nullptr, &formerActions_[i]) == 0 &&
            formerActions_[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
#if QT_CONFIG(sessionmanager)
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { save_(); });
#endif
}

SessionEnd::~SessionEnd() {
    if (pipe_[1] < 0)
        return;
    // The handlers go before the pipe, so that none writes into a number reused meanwhile.
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &formerActions_[i], nullptr);
    signalPipe.store(-1);
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void SessionEnd::SignalsArrived() {
    char bytes[64];
    bool any = false;
    while (ReadAvailable(pipe_[0], bytes, sizeof bytes).bytes > 0)
        any = true;
    if (any)
        Close();
}

void SessionEnd::Close() {
    if (!close_())
        QTimer::singleShot(100, this, [this] { Close(); });
}

} // namespace ziffa
