#pragma once
// A whole application for one test: its own program folder with a fresh
// scratch database, empty settings, scripted prompts, and helpers to build
// databases with the engine and open grids into work areas.
#include <QAction>
#include <QDialog>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/dao.h"
#include "support/scripted_prompts.h"
#include "support/tempdir.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class QRadioButton;
class frmGrid;
class frmMain;
class frmView;

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the start procedure (moduleCreateGrid::Main).
    void start();
    // Closes the main window and deletes it with its children.
    void stop();

    frmMain* main() const;
    frmView* view() const;
    static void settle();  // runs posted events, deferred deletes included

    // A database in the temp folder with a table Orders(OrderID counter key,
    // Customer Text(10), Qty Long) holding `rows` rows: Customer "C<n mod 7>", Qty n.
    std::string makeSales(const std::string& file = "Sales.mdb", int rows = 20, const std::string& connect = {});
    std::shared_ptr<engine::Database> openDb(const std::string& path) const;

    // Selects work-area line `slot` and hands a definition over as the
    // open-recordset dialog does (MakeGrid). Returns the slot's grid or nullptr.
    frmGrid* openTable(int slot, const std::string& path, const QString& table, const QString& rsName = {});
    frmGrid* openQuery(int slot, const std::string& path, const QString& sql, const QString& name,
                       const QString& rsName = {});
    void selectLine(int slot);

    template <class T>
    T* find(QWidget* parent, const char* name) const {
        T* w = parent ? parent->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << "no child named " << name;
        return w;
    }

    // Input as a person gives it: `w` made the active window as the window system
    // does on showing it; keys and text to the focus widget; a mouse click on an
    // option's button and label (its middle may lie beyond them in a wide frame).
    static void activateWindow(QWidget* w);
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = {});
    static void type(const QString& text);
    static void clickOption(QRadioButton* b);

    std::vector<QString> messageTexts() const;

    // Runs a menu command; while the modal dialog it opens shows, the dialog
    // is activated and `inDialog` drives it. True when a Dialog showed.
    template <class Dialog>
    bool runDialog(QAction* command, const std::function<void(Dialog&)>& inDialog) {
        bool shown = false;
        prompts->onModal = [&](QDialog& d) {
            auto* dialog = qobject_cast<Dialog*>(&d);
            ASSERT_NE(dialog, nullptr);
            shown = true;
            dialog->activateWindow();
            inDialog(*dialog);
        };
        command->trigger();
        prompts->onModal = {};
        return shown;
    }
    // The description of the engine error `f` raises; empty when it raises none.
    static QString engineMessage(const std::function<void()>& f);

    TempDir dir;
    ScriptedPrompts* prompts = nullptr;
};

// An application already started, with its database window.
class StartedApp : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        ASSERT_NE(view(), nullptr);
    }
};
