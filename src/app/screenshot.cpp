// ledgerly-screenshot SALES.mdb DOCS: starts the program on the sample
// database and saves the pictures of the user guide into the folder DOCS, each
// reached as a user reaches it: the main window with two tables
// (screenshot.png), Customers, their orders and the orders' lines linked
// through the Relation Builder (relation-builder.png, relations.png), the
// dialogs of the Table menu (update-table.png, copy-text.png, append-table.png),
// the query manager, the table structure window, a document and the About box.
// Dialogs are opened from their menus; the prompts service shows each modal
// one without waiting and saves its picture. scripts/screenshot runs it under Xvfb.
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
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <iostream>
#include <utility>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "relations/frmRelations.h"
#include "queries/frmQueryManager.h"
#include "schema/frmTableStructure.h"
#include "shell/frmAbout.h"
#include "shell/frmDocument.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"
#include "shell/prompts.h"

namespace {

QString gDocs;  // the folder the pictures go to

bool save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QString out = gDocs + "/" + name;
    bool saved = w->grab().save(out);
    if (!saved) std::cerr << "Could not write " << out.toStdString() << "\n";
    return saved;
}

// Nobody sits at the screen: a file to open is the sample database, a
// question is answered No, and a modal dialog is shown, saved as the next
// picture and closed.
class Photographer : public Prompts::Service {
public:
    explicit Photographer(QString database) : database_(std::move(database)) {}
    QString nextShot;

    Prompts::Answer message(const QString& text, const QString&, Prompts::Icon, Prompts::Buttons) override {
        std::cerr << "Message: " << text.toStdString() << "\n";
        return Prompts::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> password(const QString&, const QString&) override { return {}; }
    std::optional<QString> openFile(const QString&, const QString&, const QString&) override { return database_; }
    std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QFont> chooseFont(const QFont&) override { return {}; }
    bool pageSetup(QPrinter&, const QString&) override { return false; }
    bool print(QPrinter&, const QString&, bool) override { return false; }
    // What is done in the next modal dialog before its picture, and how it
    // is closed afterwards (Cancel when nothing is said).
    std::function<void(QDialog&)> fill, answer;

    int showModal(QDialog& dialog) override {
        dialog.show();
        if (auto f = std::exchange(fill, {})) f(dialog);
        if (!nextShot.isEmpty()) save(&dialog, std::exchange(nextShot, {}));
        if (auto a = std::exchange(answer, {})) a(dialog);
        else dialog.reject();
        dialog.close();
        return dialog.result();
    }

private:
    QString database_;
};

Photographer* gPhotographer = nullptr;

// Runs a menu command whose modal dialog becomes the picture `name`.
void shootMenu(QAction* command, const QString& name) {
    gPhotographer->nextShot = name;
    command->trigger();
}

// The Relations button on the parent's line, then the child's line: the
// builder pairs `field` with itself (its picture saved as `shot` when one is
// named) and Set links the two grids.
void link(frmView* view, int parent, int child, const QString& field, const QString& shot) {
    view->lstTable->setCurrentRow(parent);
    view->cmdRelations->click();
    gPhotographer->fill = [field](QDialog& d) {
        auto& builder = static_cast<frmRelations&>(d);
        builder.comboChildField[0]->setCurrentText(field);
        builder.comboParentField[0]->setCurrentText(field);
    };
    gPhotographer->answer = [](QDialog& d) { static_cast<frmRelations&>(d).cmdQuerySet->click(); };
    gPhotographer->nextShot = shot;
    view->lstTable->setCurrentRow(child);  // the pick opens the builder
}


}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: ledgerly-screenshot SALES.mdb DOCS\n";
        return 2;
    }
    QApplication::setOrganizationName("Ledgerly");
    QApplication::setApplicationName("Ledgerly");
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("x-office-spreadsheet"));
    const QString database = QDir(argv[1]).absolutePath();
    gDocs = argv[2];
    auto photographer = std::make_unique<Photographer>(database);
    gPhotographer = photographer.get();
    Prompts::install(std::move(photographer));
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
        bool saved = save(main, "screenshot.png");
        // The Table menu's dialogs on the Orders grid.
        view->lstTable->setCurrentRow(0);
        shootMenu(main->mnuUpdateTable, "update-table.png");
        shootMenu(main->mnuCopytoText, "copy-text.png");
        view->lstTable->setCurrentRow(1);
        shootMenu(main->mnuAppendfromTable, "append-table.png");
        for (int slot : {0, 1}) {
            view->lstTable->setCurrentRow(slot);
            view->cmdClose->click();
        }
        // Parent and child grids.
        frmGrid* customers = open(0, "SELECT CustomerID, CompanyName, City FROM Customers", 2, "Customers");
        frmGrid* orders = open(1, "SELECT OrderID, CustomerID, OrderDate, Freight FROM Orders", 2, "Orders");
        frmGrid* lines = open(2, "SELECT * FROM [Order Details]", 2, "Lines");
        place(customers, 10, 250);
        place(orders, 530, 250);
        place(lines, 530, 480);
        link(view, 0, 1, "CustomerID", "relation-builder.png");
        link(view, 1, 2, "OrderID", {});
        main->mdiArea->setActiveSubWindow(customers->subWindow());
        customers->DBGrid1->setCurrentIndex(customers->DBGrid1->model()->index(3, 1));
        saved = save(main, "relations.png") && saved;
        // The query manager with a saved query chosen, over the grids.
        main->mnuQueryManager->trigger();
        if (auto* manager = qobject_cast<frmQueryManager*>(main->mdiArea->activeSubWindow()->widget())) {
            manager->cmdChooseDatabase->click();
            if (manager->lstQueries->count() > 0) {
                manager->lstQueries->setCurrentRow(0);
                manager->lstQueries_Click();
            }
            main->mdiArea->activeSubWindow()->move(40, 60);
            main->mdiArea->activeSubWindow()->resize(640, 420);
            saved = save(main->mdiArea->activeSubWindow(), "query-manager.png") && saved;
            main->mdiArea->activeSubWindow()->close();
        }
        // The fields of a table.
        main->mnuTableStructure->trigger();
        if (auto* structure = main->findChild<frmTableStructure*>()) {
            structure->cmdChooseDatabase->click();
            if (auto items = structure->lstTables->findItems("Orders", Qt::MatchExactly); !items.isEmpty()) {
                structure->lstTables->setCurrentItem(items.first());
                structure->lstTables_Click();
            }
            saved = save(structure, "table-structure.png") && saved;
            structure->close();
        }
        // A document with a few formats.
        main->mnuFileNew->trigger();
        if (frmDocument* doc = main->ActiveDocument()) {
            doc->subWindow()->move(20, 20);
            doc->subWindow()->resize(620, 360);
            doc->rtfText->setHtml("<h2>Shipping notes</h2><p>Orders for <b>Berlin</b> leave on <i>Mondays</i>; "
                                  "<u>heavy</u> freight goes by the second shipper.</p>"
                                  "<p align=center>Ledgerly keeps these notes beside the grids.</p>");
            doc->rtfText->document()->setModified(false);
            saved = save(main, "document.png") && saved;
        }
        if (frmAbout* about = frmAbout::ShowAbout()) {
            saved = save(about, "about.png") && saved;
            about->close();
        }
        main->close();
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
