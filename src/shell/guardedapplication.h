#pragma once
// The program's application object and the last guard of the event loop: an
// error that a handler let escape is shown as a message and written to
// standard error, and the program goes on instead of ending.
#include <QApplication>
#include <QString>

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Writes the error to standard error at once and shows it once the event
    // that raised it is over (an error repeated meanwhile is shown once).
    static void reportEscaped(const QString& description, int number);

private:
    static QStringList& pending();
};
