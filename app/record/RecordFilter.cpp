#include "RecordFilter.h"

// Qt
#include <QSqlQuery>
#include <QStringList>

// Ours
#include "RecordCodec.h"

namespace {

QString likePattern(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'%', QStringLiteral("\\%"));
    text.replace(u'_', QStringLiteral("\\_"));
    return u'%' + text + u'%';
}

} // namespace

QString RecordFilter::whereClause() const {
    QStringList parts;
    if (since.isValid()) {
        parts << QStringLiteral("measured_at >= ?");
    }
    if (until.isValid()) {
        parts << QStringLiteral("measured_at < ?");
    }
    if (!verdict.isEmpty()) {
        parts << QStringLiteral("verdict = ?");
    }
    if (!station.isEmpty()) {
        parts << QStringLiteral("station = ?");
    }
    if (!source.isEmpty()) {
        parts << QStringLiteral("source LIKE ? ESCAPE '\\'");
    }
    if (!recipe.isEmpty()) {
        parts << QStringLiteral("recipe = ?");
    }
    if (!circle.isEmpty()) {
        parts << QStringLiteral("circle_name = ?");
    }
    return parts.isEmpty() ? QString()
                           : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

QVariantList RecordFilter::values() const {
    QVariantList list;
    if (since.isValid()) {
        list << RecordCodec::timestampText(since);
    }
    if (until.isValid()) {
        list << RecordCodec::timestampText(until);
    }
    if (!verdict.isEmpty()) {
        list << verdict;
    }
    if (!station.isEmpty()) {
        list << station;
    }
    if (!source.isEmpty()) {
        list << likePattern(source);
    }
    if (!recipe.isEmpty()) {
        list << recipe;
    }
    if (!circle.isEmpty()) {
        list << circle;
    }
    return list;
}

void RecordFilter::bindTo(QSqlQuery& query) const {
    const QVariantList list = values();
    for (int i = 0; i < list.size(); ++i) {
        query.bindValue(i, list[i]);
    }
}
