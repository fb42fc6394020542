#include "shell/savecopy.h"

#include <QApplication>

#include <algorithm>
#include <climits>
#include <QFileInfo>
#include <QProgressDialog>

#include "engine/error.h"
#include "engine/jet/convert.h"
#include "shell/prompts.h"

namespace SaveCopy {

QString Run(const QString& jetPath) {
    const QFileInfo source(jetPath);
    const QString suggested = source.absolutePath() + "/" + source.completeBaseName() + " (Ledgerly).mdb";
    const std::optional<QString> chosen =
        Prompts::saveFile("Save a Copy in Ledgerly Format", Prompts::kDatabaseFilter, suggested);
    if (!chosen || chosen->trimmed().isEmpty()) return {};
    const QString target = *chosen;
    if (QFileInfo(target).absoluteFilePath() == source.absoluteFilePath() || QFileInfo::exists(target)) {
        // The original is never written, and an existing database is not replaced.
        Prompts::message("'" + target + "' already exists. Choose a new name for the copy.", Prompts::kAppTitle,
                         Prompts::Icon::Exclamation);
        return {};
    }
    QProgressDialog progress("Converting " + source.fileName() + "...", QString(), 0, 0, QApplication::activeWindow());
    progress.setWindowTitle("Save a Copy in Ledgerly Format");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setCancelButton(nullptr);  // one transaction: it finishes or leaves nothing
    try {
        const engine::jet::ConvertResult r = engine::jet::convert(
            jetPath.toStdString(), target.toStdString(), [&](const std::string& table, long done, long total) {
                progress.setMaximum(static_cast<int>(std::min<long>(total, INT_MAX)));
                progress.setValue(static_cast<int>(std::min<long>(done, INT_MAX)));
                progress.setLabelText("Converting " + QString::fromStdString(table) + ": " + QString::number(done) +
                                      " of " + QString::number(total) + " records");
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            });
        progress.close();
        QString text = "The copy was saved as '" + target + "': " + QString::number(r.tables) +
                       (r.tables == 1 ? " table, " : " tables, ") + QString::number(r.records) +
                       (r.records == 1 ? " record." : " records.");
        for (const auto& list : {r.problems, r.notes})
            for (const auto& line : list) text += "\n" + QString::fromStdString(line);
        Prompts::message(text, Prompts::kAppTitle,
                         r.problems.empty() ? Prompts::Icon::Information : Prompts::Icon::Exclamation);
        return target;
    } catch (const engine::Error& e) {
        progress.close();
        Prompts::message(QString::fromStdString(e.description()) + "   " + QString::number(e.number()),
                         Prompts::kAppTitle, Prompts::Icon::Critical);
        return {};
    }
}

}  // namespace SaveCopy
