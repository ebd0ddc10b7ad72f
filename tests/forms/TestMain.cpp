#include <QApplication>

#include <gtest/gtest.h>

// The window tests run on a real QApplication, on the offscreen platform unless the
// environment names another one.
namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says so each time a window is raised; nothing to learn from it.
void QuietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (message.contains(QLatin1String("This plugin does not support")))
        return;
    defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv) {
    defaultHandler = qInstallMessageHandler(QuietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
