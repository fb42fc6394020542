#pragma once
// How a grid splits its SQL: the part before the last WHERE (or before ORDER BY
// / GROUP BY), the WHERE part and the ORDER BY / GROUP BY tail, so that a
// condition can be added to the WHERE part later.
#include <QString>

struct SqlClauses {
    QString source;      // the text up to its last ";"
    QString selectFrom;
    QString where;       // keyword included, or ""
    QString rest;        // keyword included, or ""

    static SqlClauses parse(const QString& source);
    static QString join(const QString& selectFrom, const QString& where, const QString& rest);
};
