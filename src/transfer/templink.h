#pragma once
// A temporary link "KORVA" + table name in one database to a table of another
// database file, so that one INSERT … SELECT on the first reads the second.
// The link is appended when the object is made and deleted when it goes,
// however the statement ends.
#include <QString>

#include <string>

namespace engine {
class Database;
}

class TemporaryLink {
public:
    // Appends the link to `table` of the file at `path` to `db`; an engine error
    // (the name taken, say) is thrown and nothing is left behind.
    TemporaryLink(engine::Database& db, const QString& path, const QString& table);
    ~TemporaryLink();
    TemporaryLink(const TemporaryLink&) = delete;
    TemporaryLink& operator=(const TemporaryLink&) = delete;

    // The link's name, for the statement's FROM.
    QString Name() const { return QString::fromStdString(name_); }

private:
    engine::Database& db_;
    std::string name_;
};
