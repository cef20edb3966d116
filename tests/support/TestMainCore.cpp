// Test entry for the logic: a core application, a pinned clock and a pinned Russian locale, so
// that expected texts ("47,3", "1 234,5", dd.MM.yyyy) are exact on any machine.
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    PinRussianLocale();
    PinTestClock();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
