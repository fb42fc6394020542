#include "records/recorddialogs.h"

#include <QApplication>
#include <QDialog>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

#include "grids/frmGrid.h"
#include "grids/workareas.h"
#include "shell/frmMain.h"
#include "shell/getgrid.h"
#include "shell/prompts.h"
#include "shell/twips.h"

namespace RecordDialogs {

frmGrid* CurrentGrid() { return GetGrid::GetGridWindow(moduleCreateGrid::CurrentWA); }

void Place(QDialog* dialog, double left, double top, double width, double height) {
    QPoint origin = dialog->parentWidget() ? dialog->parentWidget()->geometry().topLeft() : QPoint();
    dialog->setGeometry(origin.x() + Twips::toPixelsX(left), origin.y() + Twips::toPixelsY(top), Twips::toPixelsX(width),
                        Twips::toPixelsY(height));
}

void ReportFound(frmGrid* grid, bool found) {
    Status("  " + grid->statusname.toString() + "  " + (found ? "Found" : "Not Found"));
}

void Refuse(const QString& text) { Prompts::message(text, "Error", Prompts::Icon::Exclamation); }

std::shared_ptr<engine::Database> OpenScratch() {
    return engine::DBEngine::OpenDatabase((frmMain::ProgramFolder() + "/TempTables.mdb").toStdString());
}

void DropScratchTable(engine::Database& scratch, const char* table, std::shared_ptr<engine::Recordset>& held) {
    if (!scratch.IsOpen()) return;
    try {
        scratch.TableDefs().Refresh();
        if (!scratch.TableDefs().Find(table)) return;
        if (held) held->Close();
        held.reset();
        scratch.Execute(std::string("Drop Table ") + table);
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

std::shared_ptr<engine::Database> OpenAskingPassword(const QString& path) {
    const std::string file = path.toStdString();
    try {
        try {
            return engine::DBEngine::OpenDatabase(file);
        } catch (const engine::Error& e) {
            if (e.number() != engine::err::BadPassword) throw;
        }
        const std::optional<QString> password =
            Prompts::password("Please enter the database password:", "Password Required");
        if (!password) return nullptr;
        return engine::DBEngine::OpenDatabase(file, false, false, (";pwd=" + *password).toStdString());
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
        return nullptr;
    }
}

bool Trapped(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
        return false;
    }
}

void Status(const QString& text) {
    if (frmMain* main = frmMain::instance()) main->SetStatusText(text);
}

int KeywordAt(const QString& text, const QString& word) {
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == '_'; };
    const int n = static_cast<int>(text.size()), w = static_cast<int>(word.size());
    QChar closer;  // the character that ends the quoted string or name we are in
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!closer.isNull()) {
            if (c == closer) closer = QChar();
            continue;
        }
        if (c == '\'' || c == '"') closer = c;
        else if (c == '[') closer = ']';
        else if (i + w <= n && (i == 0 || !isNameChar(text[i - 1])) && (i + w == n || !isNameChar(text[i + w])) &&
                 QStringView(text).mid(i, w).compare(word, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

BusyPointer::BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
BusyPointer::~BusyPointer() { QApplication::restoreOverrideCursor(); }

Progress::Progress(long total) {
    frmMain* main = frmMain::instance();
    if (!main) return;
    bar_ = new QProgressBar(main->statusBar());
    bar_->setObjectName("RunProgress");
    bar_->setRange(0, static_cast<int>(std::clamp(total, 0L, 2147483647L)));
    bar_->setMaximumWidth(160);
    main->statusBar()->addPermanentWidget(bar_);
    bar_->show();
}

Progress::~Progress() { delete bar_; }

void Progress::Report(long done, const QString& status) {
    Status(status);
    if (bar_) bar_->setValue(static_cast<int>(std::min<long>(done, bar_->maximum())));
    if (sincePaint_.isValid() && sincePaint_.elapsed() < 100) return;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sincePaint_.start();
}

RunTransaction::RunTransaction(engine::Database& db) : db_(db) {
    db_.BeginTrans();
    begun_ = true;
}

RunTransaction::~RunTransaction() {
    if (!begun_) return;
    try {
        db_.CommitTrans();
    } catch (const engine::Error& e) {
        Prompts::message(QString::fromStdString(e.description()));
    }
}

}  // namespace RecordDialogs
