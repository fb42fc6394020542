#include "shell/prompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace Prompts {

namespace {

class QtService : public Service {
public:
    Answer message(const QString& text, const QString& caption, Icon icon, Buttons buttons) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::None: break;
        }
        switch (buttons) {
        case Buttons::OK: box.setStandardButtons(QMessageBox::Ok); break;
        case Buttons::OKCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case Buttons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel: return Answer::Cancel;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Retry: return Answer::Retry;
        default: return buttons == Buttons::OK || buttons == Buttons::OKCancel ? Answer::OK : Answer::Cancel;
        }
    }

    std::optional<QString> input(const QString& prompt, const QString& caption, const QString& initial) override {
        bool ok = false;
        QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Normal, initial, &ok);
        if (!ok) return std::nullopt;
        return text;
    }

    std::optional<QString> password(const QString& prompt, const QString& caption) override {
        bool ok = false;
        QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Password, {}, &ok);
        if (!ok) return std::nullopt;
        return text;
    }

    std::optional<QString> openFile(const QString& title, const QString& filter, const QString& initial) override {
        QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), title, initial, filter);
        if (path.isEmpty()) return std::nullopt;
        return path;
    }

    std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& initial) override {
        QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, initial, filter);
        if (path.isEmpty()) return std::nullopt;
        return path;
    }

    std::optional<QFont> chooseFont(const QFont& initial) override {
        bool ok = false;
        QFont f = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
        if (!ok) return std::nullopt;
        return f;
    }

    bool pageSetup(QPrinter& printer, const QString& title) override {
        QPageSetupDialog dialog(&printer, QApplication::activeWindow());
        dialog.setWindowTitle(title);
        return dialog.exec() == QDialog::Accepted;
    }

    bool print(QPrinter& printer, const QString& title, bool selection) override {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        dialog.setWindowTitle(title);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, selection);
        return dialog.exec() == QDialog::Accepted;
    }

    int showModal(QDialog& dialog) override { return dialog.exec(); }
};

std::unique_ptr<Service>& slot() {
    static std::unique_ptr<Service> service;
    return service;
}

}  // namespace

void install(std::unique_ptr<Service> service) { slot() = std::move(service); }

Service& current() {
    if (!slot()) slot() = std::make_unique<QtService>();
    return *slot();
}

}  // namespace Prompts
