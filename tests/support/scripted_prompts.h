#pragma once
// A Prompts service for tests: records every message and answers from queues.
// An unscripted input, file or font prompt fails the test.
#include <QDialog>
#include <QFont>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "shell/prompts.h"

class ScriptedPrompts : public Prompts::Service {
public:
    struct Message { QString text, caption; Prompts::Icon icon; Prompts::Buttons buttons; };

    // Installs a fresh instance and returns it (owned by the Prompts service).
    static ScriptedPrompts& install();

    std::vector<Message> messages;
    std::deque<Prompts::Answer> answers;                 // for messages; OK when empty
    std::deque<std::optional<QString>> inputs;           // nullopt = Cancel
    std::deque<std::optional<QString>> files;            // open and save dialogs
    std::deque<std::optional<QFont>> fonts;
    // Printer dialogs: OK or Cancel for page set-up; for printing, the PDF file
    // the printer writes and whether the selection alone was chosen.
    std::deque<bool> pageSetups;
    struct PrintAnswer { QString pdf; bool selectionOnly = false; };
    std::deque<std::optional<PrintAnswer>> prints;
    std::vector<bool> selectionOffered;                  // one per print dialog shown
    std::vector<QDialog*> modals;                        // dialogs shown modally, in order
    // Runs while a modal dialog is "open": the test drives its controls here.
    std::function<void(QDialog&)> onModal;

    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }

    Prompts::Answer message(const QString& text, const QString& caption, Prompts::Icon icon,
                            Prompts::Buttons buttons) override;
    std::optional<QString> input(const QString& prompt, const QString& caption, const QString& initial) override;
    // Answered from `inputs` like an input box, and counted.
    std::optional<QString> password(const QString& prompt, const QString& caption) override;
    int passwordPrompts = 0;
    std::optional<QString> openFile(const QString& title, const QString& filter, const QString& initial) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& initial) override;
    std::optional<QFont> chooseFont(const QFont& initial) override;
    bool pageSetup(QPrinter& printer, const QString& title) override;
    bool print(QPrinter& printer, const QString& title, bool selection) override;
    int showModal(QDialog& dialog) override;

    QString lastFileInitial;  // where the last file dialog started
};
