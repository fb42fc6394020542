// ledgerly-screenshot SALES.mdb OUT.png: starts the program, opens two tables
// of the sample database into work areas A and B, and saves a picture of the
// main window. scripts/screenshot runs it under Xvfb for the README.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include <iostream>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: ledgerly-screenshot SALES.mdb OUT.png\n";
        return 2;
    }
    QApplication::setOrganizationName("Ledgerly");
    QApplication::setApplicationName("Ledgerly");
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("x-office-spreadsheet"));
    const QString database = QDir(argv[1]).absolutePath();
    const QString out = argv[2];
    moduleCreateGrid::Main();
    frmMain* main = frmMain::instance();
    main->setGeometry(0, 0, 1100, 720);
    frmView* view = main->view();
    auto open = [&](int slot, const QString& table) {
        view->lstTable->setCurrentRow(slot);
        frmTableOpen dialog;  // never shown: the same hand-over the recent list uses
        dialog.MakeGrid(database, table, "Sales." + table, 1, table);
    };
    open(0, "Orders");
    open(1, "Customers");
    if (QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(view->parentWidget())) sub->move(10, 10);
    int y = 250;
    for (frmGrid* g : {moduleCreateGrid::WorkAreas[0], moduleCreateGrid::WorkAreas[1]}) {
        if (!g || !g->subWindow()) continue;
        g->subWindow()->move(30 + (y - 250) / 2, y);
        y += 200;
    }
    if (frmGrid* g = moduleCreateGrid::WorkAreas[0]) main->mdiArea->setActiveSubWindow(g->subWindow());
    QTimer::singleShot(800, [&] {
        bool saved = main->grab().save(out);
        if (!saved) std::cerr << "Could not write " << out.toStdString() << "\n";
        main->close();
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
