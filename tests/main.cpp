#include <gtest/gtest.h>

#include "platform/Fonts.h"
#include "tests/TestSupport.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
    // Widget tests drive the real window without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testsDir();  // before a window makes its folder current
    installFontConfig();
    QApplication app(argc, argv);
    // The window keeps its transfer log in the user's data folder: not the real one.
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
