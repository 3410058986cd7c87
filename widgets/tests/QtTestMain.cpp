// main() of a GUI test program: a QApplication on the platform the environment names
// (offscreen in CI), then every GoogleTest test.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests look for the program's own (Chinese) texts: the locale of whoever runs them
    // must not bring a translation in. LW52_TEST_LOCALE keeps it, for a test that runs its
    // program again under a locale of its choosing.
    if (!qEnvironmentVariableIsSet("LW52_TEST_LOCALE")) {
        qputenv("LC_ALL", "C.UTF-8");
        qunsetenv("LANGUAGE");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
