#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

// The component tests need a GUI application (fonts, the override cursor); without a display
// they run on Qt's offscreen platform.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
