// Test entry for the windows: a widget application (offscreen in the test runs)
// a pinned clock and a pinned Russian locale.
#include "TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    PinRussianLocale();
    PinTestClock();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
