#include "forms/Reporter.h"

#include <QApplication>
#include <QMessageBox>

namespace ziffa {

namespace {

class MessageBoxReporter final : public MessageReporter {
public:
    void ReportException(const QString &message) override {
        QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(),
                              message);
    }
    void ShowWarning(QWidget *parent, const QString &caption, const QString &text) override {
        QMessageBox::warning(parent, caption, text);
    }
};

MessageBoxReporter defaultReporter;
MessageReporter *current = &defaultReporter;

} // namespace

MessageReporter &Reporter() {
    return *current;
}

ScopedReporter::ScopedReporter(MessageReporter &reporter) : previous_(current) {
    current = &reporter;
}

ScopedReporter::~ScopedReporter() {
    current = previous_;
}

} // namespace ziffa
