#include "shell/guardedapplication.h"

#include <QMetaObject>

#include <cstdio>
#include <exception>

#include "engine/error.h"
#include "shell/prompts.h"

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const engine::Error& e) {
        reportEscaped(QString::fromStdString(e.description()), e.number());
    } catch (const std::exception& e) {
        reportEscaped(QString::fromLocal8Bit(e.what()), 0);
    } catch (...) {
        reportEscaped(QStringLiteral("An unexpected error occurred."), 0);
    }
    return false;
}

QStringList& GuardedApplication::pending() {
    static QStringList texts;
    return texts;
}

void GuardedApplication::reportEscaped(const QString& description, int number) {
    const QString line = number ? QString("Error %1: %2").arg(number).arg(description) : description;
    std::fprintf(stderr, "%s: %s\n", qPrintable(Prompts::kAppTitle), qPrintable(line));
    std::fflush(stderr);
    // Not inside the event (a paint, a focus change) that failed: a modal box
    // there would run the same event again.
    if (pending().contains(description)) return;
    pending().append(description);
    QMetaObject::invokeMethod(
        qApp,
        [description] {
            pending().removeOne(description);
            Prompts::message(description);
        },
        Qt::QueuedConnection);
}
