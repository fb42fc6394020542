#pragma once
// Every message box, input box and file or font dialog of the program goes
// through this one service, so that tests can script the answers.
#include <QFont>
#include <QString>

#include <memory>
#include <optional>

class QDialog;
class QPrinter;

namespace Prompts {

enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class Answer { OK, Cancel, Yes, No, Retry };

// The application's title, the caption of most messages.
inline const QString kAppTitle = QStringLiteral("Ledgerly");

class Service {
public:
    virtual ~Service() = default;
    virtual Answer message(const QString& text, const QString& caption, Icon icon, Buttons buttons) = 0;
    // Nothing when cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& caption, const QString& initial) = 0;
    // An input box that masks what is typed.
    virtual std::optional<QString> password(const QString& prompt, const QString& caption) = 0;
    virtual std::optional<QString> openFile(const QString& title, const QString& filter, const QString& initial) = 0;
    virtual std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& initial) = 0;
    virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
    // The printer dialogs change `printer`; false when cancelled. `selection`
    // offers printing only the selected text.
    virtual bool pageSetup(QPrinter& printer, const QString& title) = 0;
    virtual bool print(QPrinter& printer, const QString& title, bool selection) = 0;
    // Modal forms: the program runs their event loop; tests show them and drive
    // their controls directly.
    virtual int showModal(QDialog& dialog) = 0;
};

// Replaces the service (the Qt one is installed on first use).
void install(std::unique_ptr<Service> service);
Service& current();

inline Answer message(const QString& text, const QString& caption = kAppTitle, Icon icon = Icon::None,
                      Buttons buttons = Buttons::OK) {
    return current().message(text, caption, icon, buttons);
}
inline std::optional<QString> input(const QString& prompt, const QString& caption = kAppTitle,
                                    const QString& initial = {}) {
    return current().input(prompt, caption, initial);
}
inline std::optional<QString> password(const QString& prompt, const QString& caption = kAppTitle) {
    return current().password(prompt, caption);
}
inline std::optional<QString> openFile(const QString& title, const QString& filter, const QString& initial = {}) {
    return current().openFile(title, filter, initial);
}
// The filter of every dialog that opens a database file.
inline const QString kDatabaseFilter = QStringLiteral("Databases (*.mdb);;All Files (*)");
// A database file chosen in the open dialog; nothing when cancelled.
inline std::optional<QString> openDatabase(const QString& title = QStringLiteral("Choose Database")) {
    return current().openFile(title, kDatabaseFilter, QString());
}
inline std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& initial = {}) {
    return current().saveFile(title, filter, initial);
}
inline std::optional<QFont> chooseFont(const QFont& initial) { return current().chooseFont(initial); }
inline bool pageSetup(QPrinter& printer, const QString& title) { return current().pageSetup(printer, title); }
inline bool print(QPrinter& printer, const QString& title, bool selection) {
    return current().print(printer, title, selection);
}
inline int showModal(QDialog& dialog) { return current().showModal(dialog); }

}  // namespace Prompts
