#include "support/scripted_prompts.h"

#include <QPrinter>

#include <gtest/gtest.h>

namespace {

// The next scripted answer; nothing stands for Cancel.
std::optional<QString> take(std::deque<std::optional<QString>>& queue) {
    bool cancelled = !queue.front().has_value();
    QString text = cancelled ? QString() : *queue.front();
    queue.pop_front();
    if (cancelled) return std::nullopt;
    return text;
}

}  // namespace

ScriptedPrompts& ScriptedPrompts::install() {
    auto owned = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts& ref = *owned;
    Prompts::install(std::move(owned));
    return ref;
}

Prompts::Answer ScriptedPrompts::message(const QString& text, const QString& caption, Prompts::Icon icon,
                                         Prompts::Buttons buttons) {
    messages.push_back({text, caption, icon, buttons});
    if (answers.empty()) return Prompts::Answer::OK;
    Prompts::Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QString> ScriptedPrompts::input(const QString& prompt, const QString& caption, const QString&) {
    if (inputs.empty()) {
        ADD_FAILURE() << "unscripted input box: " << caption.toStdString() << ": " << prompt.toStdString();
        return std::nullopt;
    }
    messages.push_back({prompt, caption, Prompts::Icon::None, Prompts::Buttons::OKCancel});
    return take(inputs);
}

std::optional<QString> ScriptedPrompts::password(const QString& prompt, const QString& caption) {
    ++passwordPrompts;
    return input(prompt, caption, {});
}

std::optional<QString> ScriptedPrompts::openFile(const QString& title, const QString&, const QString& initial) {
    lastFileInitial = initial;
    if (files.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << title.toStdString();
        return std::nullopt;
    }
    return take(files);
}

std::optional<QString> ScriptedPrompts::saveFile(const QString& title, const QString& filter, const QString& initial) {
    return openFile(title, filter, initial);
}

std::optional<QFont> ScriptedPrompts::chooseFont(const QFont&) {
    if (fonts.empty()) {
        ADD_FAILURE() << "unscripted font dialog";
        return std::nullopt;
    }
    auto v = fonts.front();
    fonts.pop_front();
    return v;
}

bool ScriptedPrompts::pageSetup(QPrinter&, const QString& title) {
    if (pageSetups.empty()) {
        ADD_FAILURE() << "unscripted page set-up dialog: " << title.toStdString();
        return false;
    }
    bool ok = pageSetups.front();
    pageSetups.pop_front();
    return ok;
}

bool ScriptedPrompts::print(QPrinter& printer, const QString& title, bool selection) {
    selectionOffered.push_back(selection);
    if (prints.empty()) {
        ADD_FAILURE() << "unscripted print dialog: " << title.toStdString();
        return false;
    }
    auto answer = prints.front();
    prints.pop_front();
    if (!answer) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(answer->pdf);
    printer.setPrintRange(answer->selectionOnly ? QPrinter::Selection : QPrinter::AllPages);
    return true;
}

int ScriptedPrompts::showModal(QDialog& dialog) {
    modals.push_back(&dialog);
    dialog.show();
    if (onModal) onModal(dialog);
    return dialog.result();
}
