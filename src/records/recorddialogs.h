#pragma once
// What the record dialogs share: the grid they act on and the status texts.
#include <QElapsedTimer>
#include <QString>

#include <functional>

#include <memory>

#include "engine/dao.h"

class QDialog;
class QProgressBar;
class QWidget;
class frmGrid;

namespace RecordDialogs {
// The grid of the work area selected in the database window.
frmGrid* CurrentGrid();
// Places a dialog at (left, top) twips from its owner's corner, sized in twips.
void Place(QDialog* dialog, double left, double top, double width, double height);
// "  name  Found" or "  name  Not Found" in the status bar.
void ReportFound(frmGrid* grid, bool found);
// An "Error" box with the exclamation icon.
void Refuse(const QString& text);
// The scratch database of the program folder, where dialogs keep working copies.
std::shared_ptr<engine::Database> OpenScratch();
// Drops a working table of the scratch database if it is there, closing the
// recordset held on it first; an error is shown, not thrown.
void DropScratchTable(engine::Database& scratch, const char* table, std::shared_ptr<engine::Recordset>& held);

// Opens the database file at `path`; when it has a password, asks for it once.
// Nothing when the password prompt is cancelled, or when the file cannot be
// opened: then the engine's description is shown.
std::shared_ptr<engine::Database> OpenAskingPassword(const QString& path);

// Writes the status bar's text panel.
void Status(const QString& text);
// Runs `step`; an engine error it raises is shown with its description in a
// plain message box. False when one was shown.
bool Trapped(const std::function<void()>& step);

// Position of the first `word` in `text` that stands as a word of its own
// (any letter case), outside quoted strings and [bracketed names]; -1 when none.
int KeywordAt(const QString& text, const QString& word);

// The hourglass while a handler works; back to normal however it ends.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// A record-at-a-time run in one transaction of `db` (fast, and others see it
// at once when it ends); what was done is committed however the run ends.
class RunTransaction {
public:
    explicit RunTransaction(engine::Database& db);
    ~RunTransaction();
    RunTransaction(const RunTransaction&) = delete;
    RunTransaction& operator=(const RunTransaction&) = delete;

private:
    engine::Database& db_;
    bool begun_ = false;
};

// A record-at-a-time run: a progress bar in the status bar while it lasts.
// Report writes the status text, moves the bar and lets the windows repaint,
// at most every 100 ms: repainting at every report would cost a long run more
// than its records (typing and clicks wait until the run is over).
class Progress {
public:
    explicit Progress(long total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Report(long done, const QString& status);

private:
    QProgressBar* bar_ = nullptr;
    QElapsedTimer sincePaint_;
};
}  // namespace RecordDialogs
