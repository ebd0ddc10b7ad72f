#pragma once

#include <QString>

class QWidget;

namespace ziffa {

// The program's modal message boxes, behind one replaceable interface so that tests can record
// them instead of blocking on a modal loop.
class MessageReporter {
public:
    virtual ~MessageReporter() = default;
    // The application's standard exception box: the message of an exception that escaped an
    // event handler or the start-up.
    virtual void ReportException(const QString &message) = 0;
    // A modal message box with a caption, a text, one OK button and the exclamation icon.
    virtual void ShowWarning(QWidget *parent, const QString &caption, const QString &text) = 0;
};

// The reporter in force: the message boxes of QMessageBox unless a ScopedReporter replaced them.
MessageReporter &Reporter();

// Puts another reporter in force for its own lifetime.
class ScopedReporter {
public:
    explicit ScopedReporter(MessageReporter &reporter);
    ~ScopedReporter();
    ScopedReporter(const ScopedReporter &) = delete;
    ScopedReporter &operator=(const ScopedReporter &) = delete;

private:
    MessageReporter *previous_;
};

} // namespace ziffa
