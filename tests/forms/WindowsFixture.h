#pragma once

#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/Reporter.h"
#include "forms/VariablesWindow.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QWindow;

namespace ziffa {

// Records the message boxes instead of showing them.
class RecordingReporter : public MessageReporter {
public:
    struct Warning {
        QString caption;
        QString text;
    };

    void ReportException(const QString &message) override { exceptions.push_back(message); }
    void ShowWarning(QWidget *, const QString &caption, const QString &text) override {
        warnings.push_back({caption, text});
    }

    std::vector<QString> exceptions;
    std::vector<Warning> warnings;
};

// The shared fixture of the window tests: a fresh settings folder, the message boxes recorded,
// the three start windows created in their order with the calculator window shown and active,
// and a watchdog that fails a test leaving a modal window open that it didn't expect.
// Exceptions and warnings that a test leaves unexamined fail it as well.
class WindowsTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows; a test may call it itself with a command line instead. The decimal
    // separator is then a full stop, whatever the locale's.
    void CreateWindows(const QStringList &commandLine = {});
    // Destroys the windows, as the end of the application does.
    void DestroyWindows();

    // The whole path of a real key: QTest events to the window (shortcut map, key preview, then
    // the focused widget).
    static void Click(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
    static void Press(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
    static void Release(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
    // A key event with native codes, as X11 or Windows delivers it, sent to the window.
    static void SendNative(QWidget &window, QEvent::Type type, int key,
                           Qt::KeyboardModifiers modifiers, quint32 scanCode, quint32 virtualKey,
                           bool autoRepeat = false);
    // The object name of the widget that has the focus within a window.
    static std::string FocusIn(const QWidget &window);

    // Runs trigger, which is to open a modal window; inside runs while it is open and must close
    // it. Fails when no modal window opened or when inside left it open.
    void WithModal(const std::function<void()> &trigger,
                   const std::function<void(QWidget &modal)> &inside);

    // Sets the expression box's text and presses Enter.
    void Calculate(const QString &expression);

    // The test's own settings folder, empty at the start, and the settings file in it, which
    // ZIFFA_SETTINGS names.
    QString SettingsFolder() const { return settingsFolder_.path(); }
    QString SettingsFile() const;

    RecordingReporter reporter;
    char localeSeparator = '.'; // what the calculator window read from the locale
    std::unique_ptr<CalculatorWindow> ziffa;
    std::unique_ptr<VariablesWindow> variables;
    std::unique_ptr<ChartWindow> wykres;

private:
    void Watch();

    QTemporaryDir settingsFolder_;
    std::unique_ptr<ScopedReporter> scopedReporter_;
    QTimer watchdog_;
    static constexpr int ModalPatienceMs = 5000;
    bool expectingModal_ = false;
    QElapsedTimer modalClock_;
};

} // namespace ziffa
