// Test main for window tests: the program's own application object (with its
// event-loop guard) on the offscreen platform, and settings kept in a folder of
// this process alone (ctest runs tests side by side, and none may see another's
// or the user's settings); so are the converted copies of Jet files.
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "shell/guardedapplication.h"
#include "support/tempdir.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    TempDir settings;
    const QString folder = QString::fromStdString(settings.path().string());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((settings.path() / "cache").string()));
    GuardedApplication app(argc, argv);
    QApplication::setOrganizationName("Ledgerly");
    QApplication::setApplicationName("Ledgerly");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
