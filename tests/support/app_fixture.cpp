#include "support/app_fixture.h"

#include <QApplication>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QListWidget>
#include <QSettings>

#include <cstdlib>
#include <filesystem>

#include "dbwindow/frmView.h"
#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/frmTableOpen.h"

void AppFixture::SetUp() {
    std::string cmd = std::string(LEDGERLY_BIN_DIR) + "/ledgerly-mkscratch " + dir.path().string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    qputenv("LEDGERLY_HOME", QByteArray::fromStdString(dir.path().string()));
    QSettings("Ledgerly", "Ledgerly").clear();
    prompts = &ScriptedPrompts::install();
    frmTableOpen::State() = frmTableOpen::Members{};
    moduleCreateGrid::WorkAreas.fill(nullptr);
    moduleCreateGrid::CurrentWA = -1;
}

void AppFixture::TearDown() {
    stop();
    moduleCreateGrid::WorkAreas.fill(nullptr);
    moduleCreateGrid::CurrentWA = -1;
    frmTableOpen::State() = frmTableOpen::Members{};
    qunsetenv("LEDGERLY_HOME");
}

void AppFixture::start() {
    moduleCreateGrid::Main();
    settle();
}

void AppFixture::stop() {
    if (frmMain* m = frmMain::instance()) m->close();
    settle();
}

void AppFixture::settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

frmMain* AppFixture::main() const { return frmMain::instance(); }
frmView* AppFixture::view() const { return main() ? main()->view() : nullptr; }

std::string AppFixture::makeSales(const std::string& file, int rows, const std::string& connect) {
    std::string path = dir.file(file);
    auto db = engine::DBEngine::CreateDatabase(path, connect);
    db->Execute("CREATE TABLE Orders (OrderID Counter PRIMARY KEY, Customer Text(10), Qty Long)");
    db->BeginTrans();
    auto rs = db->OpenRecordset("Orders");
    for (int n = 1; n <= rows; ++n) {
        rs->AddNew();
        rs->Fields("Customer").SetValue(engine::Variant::text("C" + std::to_string(n % 7)));
        rs->Fields("Qty").SetValue(engine::Variant::longInt(n));
        rs->Update();
    }
    db->CommitTrans();
    rs->Close();
    db->Close();
    return path;
}

std::shared_ptr<engine::Database> AppFixture::openDb(const std::string& path) const {
    return engine::DBEngine::OpenDatabase(path);
}

void AppFixture::selectLine(int slot) {
    if (view()) view()->lstTable->setCurrentRow(slot);
}

frmGrid* AppFixture::openTable(int slot, const std::string& path, const QString& table, const QString& rsName) {
    selectLine(slot);
    QString name = rsName.isEmpty() ? frmTableOpen::DBName(QString::fromStdString(path)) + "." + table : rsName;
    frmTableOpen dialog(main());
    dialog.MakeGrid(QString::fromStdString(path), table, name, 1, table);
    settle();
    return slot >= 0 && slot < 12 ? moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] : nullptr;
}

frmGrid* AppFixture::openQuery(int slot, const std::string& path, const QString& sql, const QString& queryName,
                               const QString& rsName) {
    selectLine(slot);
    QString name = rsName.isEmpty() ? frmTableOpen::DBName(QString::fromStdString(path)) + "." + queryName : rsName;
    frmTableOpen dialog(main());
    dialog.MakeGrid(QString::fromStdString(path), sql, name, 2, queryName);
    settle();
    return slot >= 0 && slot < 12 ? moduleCreateGrid::WorkAreas[static_cast<size_t>(slot)] : nullptr;
}


std::vector<QString> AppFixture::messageTexts() const {
    std::vector<QString> out;
    for (const auto& m : prompts->messages) out.push_back(m.text);
    return out;
}

QString AppFixture::engineMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const engine::Error& e) {
        return QString::fromStdString(e.description());
    }
    return {};
}

void AppFixture::activateWindow(QWidget* w) {
    QApplication::setActiveWindow(w);
    w->activateWindow();
    QApplication::processEvents();
}

void AppFixture::key(Qt::Key k, Qt::KeyboardModifiers mods) { QTest::keyClick(QApplication::focusWidget(), k, mods); }

void AppFixture::type(const QString& text) {
    for (QChar c : text) {
        QWidget* w = QApplication::focusWidget();  // an editor may open on the first
        // Characters beyond ASCII have no key of their own: they come as text.
        if (c.unicode() > 127) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        else QTest::keyClicks(w, QString(c));
    }
}

void AppFixture::clickOption(QRadioButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    QTest::mouseClick(b, Qt::LeftButton, {}, b->style()->subElementRect(QStyle::SE_RadioButtonClickRect, &opt, b).center());
}
