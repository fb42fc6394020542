// Test main for window tests: one QApplication on the offscreen platform, and
// settings kept away from the user's own.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Ledgerly");
    QApplication::setApplicationName("Ledgerly");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
