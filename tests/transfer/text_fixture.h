#pragma once
// What the Copy to Text and Append from Text tests share: files read and
// written whole, and the two dialogs driven from their menus as a person
// would: fields chosen in the list, options and buttons clicked, the file
// named in the (scripted) file dialog.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>
#include <sstream>

#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "support/app_fixture.h"
#include "transfer/frmAppendText.h"
#include "transfer/frmCopytoText.h"

class TextTransferTest : public AppFixture {
protected:
    using Strings = std::vector<std::string>;
    enum Scope { All = 0, Next = 1, Rest = 2, Where = 3 };

    void SetUp() override {
        AppFixture::SetUp();
        start();
    }

    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void writeFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Selects `entry` in `list` with the mouse and moves it with `arrow`.
    static void choose(QListWidget* list, QPushButton* arrow, const QString& entry) {
        const auto items = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << entry.toStdString();
        list->scrollToItem(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
        click(arrow);
    }

    struct CopyRun {
        Strings fields;       // chosen one by one, in this order; empty: Add All
        Scope scope = All;
        QString typed;        // the where condition or the count for Next
        bool csv = false;
        std::optional<QString> file;  // answered by the Save As dialog; nullopt: cancelled
    };
    // Copy to Text on the current grid; true when the dialog closed itself.
    bool copyToText(const CopyRun& run) {
        bool closed = false;
        prompts->files.push_back(run.file);
        EXPECT_TRUE(runDialog<frmCopytoText>(main()->mnuCopytoText, [&](frmCopytoText& d) {
            if (run.fields.empty()) click(d.cmdAddAll);
            for (const auto& f : run.fields) choose(d.lstFields, d.cmdAdd, QString::fromStdString(f));
            if (run.csv) clickOption(d.optFormat[1]);
            clickOption(d.optScope[static_cast<size_t>(run.scope)]);
            if (run.scope == Next) {
                d.txtRestNumber->selectAll();
                QTest::keyClicks(d.txtRestNumber, run.typed);
            } else if (run.scope == Where) {
                QTest::keyClicks(d.txtWhere, run.typed);
            }
            click(d.cmdSaveAs);
            click(d.cmdCopy);
            closed = !d.isVisible();
            if (!closed) click(d.cmdCancel);
        }));
        return closed;
    }

    // Append from Text into the current grid from `file`; true when the dialog closed itself.
    bool appendText(const std::string& file, bool chooseCsv = false) {
        bool closed = false;
        prompts->files.push_back(QString::fromStdString(file));
        EXPECT_TRUE(runDialog<frmAppendText>(main()->mnuAppendfromText, [&](frmAppendText& d) {
            click(d.cmdAppendFrom);
            if (chooseCsv) clickOption(d.optFormat[1]);
            click(d.cmdAppend);
            closed = !d.isVisible();
            if (!closed) click(d.cmdCancel);
        }));
        return closed;
    }

    // A table made by `definition` in a new database, filled with `values`, its path.
    std::string makeTable(const std::string& file, const std::string& definition,
                          const std::vector<std::vector<engine::Variant>>& values = {}) {
        const std::string path = dir.file(file);
        auto db = engine::DBEngine::CreateDatabase(path);
        db->Execute("CREATE TABLE " + definition);
        if (values.empty()) return path;
        auto rs = db->OpenRecordset(definition.substr(0, definition.find(' ')));
        for (const auto& row : values) {
            rs->AddNew();
            for (size_t i = 0; i < row.size(); ++i)
                if (!row[i].isNull()) rs->Fields(static_cast<int>(i)).SetValue(row[i]);
            rs->Update();
        }
        rs->Close();
        return path;
    }

    // Every value of a table in the default text form, row by row in key order.
    std::vector<Strings> rows(const std::string& file, const std::string& sql) const {
        std::vector<Strings> out;
        for (auto rs = openDb(file)->OpenRecordset(sql); !rs->EOF_(); rs->MoveNext()) {
            Strings row;
            for (const auto& f : rs->Fields()) row.push_back(f->Value().isNull() ? "<Null>" : f->Value().toText());
            out.push_back(row);
        }
        return out;
    }
};
