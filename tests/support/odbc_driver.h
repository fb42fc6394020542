#pragma once
// The SQLite ODBC driver of the libsqliteodbc package: its path, or "" when it is not installed.
#include <filesystem>
#include <string>

inline std::string sqliteOdbcDriver() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& lib : fs::directory_iterator("/usr/lib", ec)) {
        const fs::path p = lib.path() / "odbc" / "libsqlite3odbc.so";
        if (fs::exists(p)) return p.string();
    }
    return fs::exists("/usr/lib/odbc/libsqlite3odbc.so") ? "/usr/lib/odbc/libsqlite3odbc.so" : "";
}
