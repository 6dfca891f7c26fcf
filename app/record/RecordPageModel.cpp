#include "RecordPageModel.h"

// Qt
#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>

// Ours
#include "ChainVerifier.h"
#include "RecordCodec.h"
#include "RecordDatabase.h"
#include "RecordSchema.h"

RecordPageModel::RecordPageModel(RecordDatabase& database, QObject* parent)
    : QAbstractTableModel(parent), database_(database) {}

void RecordPageModel::setFilter(const RecordFilter& filter) {
    beginResetModel();
    filter_ = filter;
    rows_.clear();
    broken_.clear();
    atEnd_ = false;
    endResetModel();
    fetchMore();
}

int RecordPageModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordPageModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

bool RecordPageModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_;
}

void RecordPageModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_) {
        return;
    }
    QString where = filter_.whereClause();
    QVariantList values = filter_.values();
    if (!rows_.empty()) {
        const InspectionRecord& last = rows_.back();
        where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        where += QStringLiteral("(measured_at < ? OR (measured_at = ? AND id < ?))");
        const QString time = RecordCodec::timestampText(last.measuredAt);
        values << time << time << last.id;
    }
    QSqlQuery query(database_.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements%2 ORDER BY measured_at DESC, id "
                                 "DESC LIMIT %3")
                      .arg(RecordSchema::columnList(), where)
                      .arg(kPageSize));
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    std::vector<InspectionRecord> page;
    if (query.exec()) {
        while (query.next()) {
            page.push_back(RecordDatabase::fromRow(query));
        }
    }
    atEnd_ = static_cast<int>(page.size()) < kPageSize;
    if (page.empty()) {
        return;
    }
    broken_.unite(ChainVerifier::brokenAmong(database_.connection(), page));
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()),
                 std::make_move_iterator(page.end()));
    endInsertRows();
}

QVariant RecordPageModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const InspectionRecord& r = record(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Time:
            return r.measuredAt.toOffsetFromUtc(r.utcOffsetSeconds)
                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case Station:
            return r.station;
        case Operator:
            return r.operatorName;
        case Source:
            return r.frame ? QStringLiteral("%1 #%2").arg(r.source).arg(*r.frame) : r.source;
        case Mean:
            return QString::number(r.mean, 'f', 1);
        case Verdict:
            return r.verdict;
        case Chain:
            return broken_.contains(r.id)
                       ? QCoreApplication::translate("RecordPageModel", "✗ 改ざん?")
                       : QString();
        default:
            return {};
        }
    }
    if (role == Qt::BackgroundRole && broken_.contains(r.id)) {
        return QBrush(QColor(255, 200, 0));
    }
    if (role == Qt::ForegroundRole && index.column() == Verdict) {
        return QBrush(r.verdict == u"NG" ? QColor(255, 0, 0) : QColor(0, 0, 255));
    }
    if (role == Qt::TextAlignmentRole && index.column() == Mean) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant RecordPageModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const QStringList titles{QCoreApplication::translate("RecordPageModel", "日時"),
                                    QCoreApplication::translate("RecordPageModel", "ステーション"),
                                    QCoreApplication::translate("RecordPageModel", "作業者"),
                                    QCoreApplication::translate("RecordPageModel", "ソース"),
                                    QCoreApplication::translate("RecordPageModel", "平均濃度"),
                                    QCoreApplication::translate("RecordPageModel", "判定"),
                                    QCoreApplication::translate("RecordPageModel", "記録の鎖")};
    return titles.value(section);
}
