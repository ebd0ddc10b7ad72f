#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"
#include "forms/ChartWindow.h"
#include "forms/VariablesWindow.h"
#include "interpreter/ExpressionText.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

namespace ziffa {

void WindowsTest::SetUp() {
    ASSERT_TRUE(settingsFolder_.isValid());
    qputenv("ZIFFA_SETTINGS", QFile::encodeName(SettingsFile()));
    // The journal of a save in place, too, stays out of the user's own folders.
    qputenv("XDG_STATE_HOME", QFile::encodeName(SettingsFolder() + QStringLiteral("/state")));
    scopedReporter_ = std::make_unique<ScopedReporter>(reporter);
    watchdog_.setInterval(50);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] { Watch(); });
    watchdog_.start();
    if (!HasFatalFailure())
        CreateWindows();
}

QString WindowsTest::SettingsFile() const {
    return settingsFolder_.filePath(QStringLiteral("ziffa.ini"));
}

void WindowsTest::CreateWindows(const QStringList &commandLine) {
    DestroyWindows();
    ziffa = std::make_unique<CalculatorWindow>(commandLine);
    // The calculator window set the separator of the locale; the tests use a full stop unless
    // they say otherwise.
    localeSeparator = ExprDecimalSeparator;
    ExprDecimalSeparator = '.';
    variables = std::make_unique<VariablesWindow>();
    wykres = std::make_unique<ChartWindow>();
    ziffa->show();
    if (ziffa->isVisible()) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(ziffa.get()));
    }
}

void WindowsTest::DestroyWindows() {
    wykres.reset();
    variables.reset();
    ziffa.reset();
}

void WindowsTest::TearDown() {
    if (QWidget *modal = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
        modal->close();
    }
    DestroyWindows();
    watchdog_.stop();
    for (const QString &message : reporter.exceptions)
        ADD_FAILURE() << "unexamined exception box: " << message.toStdString();
    for (const auto &warning : reporter.warnings)
        ADD_FAILURE() << "unexamined warning box: " << warning.text.toStdString();
    scopedReporter_.reset();
    qunsetenv("ZIFFA_SETTINGS");
}

void WindowsTest::Watch() {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || (expectingModal_ && modalClock_.elapsed() < ModalPatienceMs))
        return;
    ADD_FAILURE() << "an unexpected modal window opened: " << modal->windowTitle().toStdString();
    modal->close();
}

void WindowsTest::WithModal(const std::function<void()> &trigger,
                            const std::function<void(QWidget &)> &inside) {
    // The modal window's own loop runs the poll; QTest's key events process events between
    // press and release, so a single-shot timer could fire before the window exists.
    bool opened = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        opened = true;
        (void)QTest::qWaitForWindowActive(modal);
        inside(*modal);
        QApplication::processEvents();
        if (QApplication::activeModalWidget() == modal) {
            ADD_FAILURE() << "the modal window stayed open";
            modal->close();
        }
    });
    expectingModal_ = true;
    modalClock_.start();
    poll.start();
    trigger();
    poll.stop();
    expectingModal_ = false;
    EXPECT_TRUE(opened) << "no modal window opened";
}

void WindowsTest::Click(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(window.windowHandle(), key, modifiers);
}

void WindowsTest::Press(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyPress(window.windowHandle(), key, modifiers);
}

void WindowsTest::Release(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyRelease(window.windowHandle(), key, modifiers);
}

void WindowsTest::SendNative(QWidget &window, QEvent::Type type, int key,
                             Qt::KeyboardModifiers modifiers, quint32 scanCode, quint32 virtualKey,
                             bool autoRepeat) {
    QKeyEvent event(type, key, modifiers, scanCode, virtualKey, 0, QString(), autoRepeat);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

std::string WindowsTest::FocusIn(const QWidget &window) {
    const QWidget *focus = window.focusWidget();
    return focus ? focus->objectName().toStdString() : std::string("(none)");
}

void WindowsTest::Calculate(const QString &expression) {
    ziffa->ComboBoxExpression->setEditText(expression);
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_Return);
}

} // namespace ziffa
