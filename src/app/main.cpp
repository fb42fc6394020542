#include <QIcon>

#include "grids/workareas.h"
#include "shell/guardedapplication.h"

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    QApplication::setOrganizationName("Ledgerly");
    QApplication::setApplicationName("Ledgerly");
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("x-office-spreadsheet"));
    moduleCreateGrid::Main();
    return app.exec();
}
