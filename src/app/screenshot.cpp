// ledgerly-screenshot SALES.mdb OUT.png [RELATIONS.png BUILDER.png]: starts the
// program, opens two tables of the sample database into work areas A and B,
// and saves a picture of the main window. With the two further names it then
// links Customers, their orders and the orders' lines as a user does (the
// Relations button, the child's line, the Relation Builder), moves the
// customer, and saves the builder and the three grids following each other.
// scripts/screenshot runs it under Xvfb for the README and the guide.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <iostream>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/frmRelations.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"

namespace {

bool save(QWidget* w, const QString& out) {
    bool saved = w->grab().save(out);
    if (!saved) std::cerr << "Could not write " << out.toStdString() << "\n";
    return saved;
}

// The Relations button on the parent's line, then the child's line; the
// builder, once it shows, pairs `field` with itself and is saved to `shot`.
void link(frmView* view, int parent, int child, const QString& field, const QString& shot) {
    view->lstTable->setCurrentRow(parent);
    view->cmdRelations->click();
    QTimer::singleShot(300, [field, shot] {
        auto* dialog = qobject_cast<frmRelations*>(QApplication::activeModalWidget());
        if (!dialog) {
            std::cerr << "The Relation Builder did not open\n";
            return;
        }
        dialog->comboChildField[0]->setCurrentText(field);
        dialog->comboParentField[0]->setCurrentText(field);
        if (!shot.isEmpty()) save(dialog, shot);
        dialog->cmdQuerySet->click();
    });
    view->lstTable->setCurrentRow(child);  // the pick: the builder is modal until Set
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 5) {
        std::cerr << "usage: ledgerly-screenshot SALES.mdb OUT.png [RELATIONS.png BUILDER.png]\n";
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
    auto open = [&](int slot, const QString& source, int type, const QString& name) {
        view->lstTable->setCurrentRow(slot);
        frmTableOpen dialog;  // never shown: the same hand-over the recent list uses
        dialog.MakeGrid(database, source, "Sales." + name, type, name);
        return moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)];
    };
    auto place = [](frmGrid* g, int x, int y) {
        if (g && g->subWindow()) g->subWindow()->move(x, y);
    };
    open(0, "Orders", 1, "Orders");
    open(1, "Customers", 1, "Customers");
    if (QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(view->parentWidget())) sub->move(10, 10);
    place(moduleCreateGrid::WorkAreas[0], 30, 250);
    place(moduleCreateGrid::WorkAreas[1], 130, 450);
    if (frmGrid* g = moduleCreateGrid::WorkAreas[0]) main->mdiArea->setActiveSubWindow(g->subWindow());
    QTimer::singleShot(800, [&] {
        bool saved = save(main, out);
        if (saved && argc == 5) {
            for (int slot : {0, 1}) {
                view->lstTable->setCurrentRow(slot);
                view->cmdClose->click();
            }
            frmGrid* customers = open(0, "SELECT CustomerID, CompanyName, City FROM Customers", 2, "Customers");
            frmGrid* orders = open(1, "SELECT OrderID, CustomerID, OrderDate, Freight FROM Orders", 2, "Orders");
            frmGrid* lines = open(2, "SELECT * FROM [Order Details]", 2, "Lines");
            place(customers, 10, 250);
            place(orders, 530, 250);
            place(lines, 530, 480);
            link(view, 0, 1, "CustomerID", argv[4]);
            link(view, 1, 2, "OrderID", {});
            main->mdiArea->setActiveSubWindow(customers->subWindow());
            customers->DBGrid1->setCurrentIndex(customers->DBGrid1->model()->index(3, 1));
            QApplication::processEvents();
            saved = save(main, argv[3]);
        }
        main->close();
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
