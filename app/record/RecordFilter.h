#pragma once

// Qt
#include <QDateTime>
#include <QString>
#include <QVariantList>

class QSqlQuery;

// Which records the window, the summary and the export look at; an empty part lets all
// through.
struct RecordFilter {
    QDateTime since; // inclusive
    QDateTime until; // exclusive
    QString verdict; // "OK", "NG" or empty
    QString station;
    QString source; // part of the source's text
    QString recipe; // the recipe's name, exactly
    QString circle; // the circle's name within its recipe, exactly

    // " WHERE …" (or empty) with its values in order.
    QString whereClause() const;
    QVariantList values() const;
    void bindTo(QSqlQuery& query) const;
};
