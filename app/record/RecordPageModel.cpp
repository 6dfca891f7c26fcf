#include "RecordPageModel.h"

// Qt
#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QSqlError>
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
    lastError_.clear();
    endResetModel();
    fetchMore();
}

void RecordPageModel::reload(int rows) {
    setFilter(filter_);
    while (rowCount() < rows && canFetchMore()) {
        fetchMore();
    }
}

void RecordPageModel::takeNewer(qint64 afterId) {
    if (sortColumn_ != Time || sortOrder_ != Qt::DescendingOrder || rows_.empty()) {
        reload(rowCount());
        return;
    }
    QString where = filter_.whereClause();
    QVariantList values = filter_.values();
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    where += QStringLiteral("id > ?");
    values << afterId;
    QSqlQuery query(database_.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements%2 ORDER BY measured_at DESC, id DESC")
                      .arg(RecordSchema::columnList(), where));
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    std::vector<InspectionRecord> newer;
    if (!query.exec()) {
        lastError_ = query.lastError().text();
        return;
    }
    while (query.next()) {
        newer.push_back(RecordDatabase::fromRow(query));
    }
    if (newer.empty()) {
        return;
    }
    const InspectionRecord& oldestNew = newer.back();
    const InspectionRecord& top = rows_.front();
    // A record replayed from a spool can be older than the rows shown: then read again.
    if (oldestNew.measuredAt < top.measuredAt ||
        (oldestNew.measuredAt == top.measuredAt && oldestNew.id < top.id)) {
        reload(rowCount());
        return;
    }
    broken_.unite(ChainVerifier::brokenAmong(database_.connection(), newer));
    beginInsertRows({}, 0, static_cast<int>(newer.size()) - 1);
    rows_.insert(rows_.begin(), std::make_move_iterator(newer.begin()),
                 std::make_move_iterator(newer.end()));
    endInsertRows();
}

int RecordPageModel::rowOf(qint64 id) const {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].id == id) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void RecordPageModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        column = Time;
    }
    if (column == sortColumn_ && order == sortOrder_) {
        return;
    }
    sortColumn_ = column;
    sortOrder_ = order;
    setFilter(filter_);
}

QString RecordPageModel::sortExpression() const {
    switch (sortColumn_) {
    case Time:
        return QStringLiteral("measured_at");
    case Station:
        return QStringLiteral("station");
    case Operator:
        return QStringLiteral("operator");
    case Recipe:
        return QStringLiteral("recipe");
    case Circle:
        return QStringLiteral("circle_name");
    case Source:
        return QStringLiteral("source");
    case Mean:
        return QStringLiteral("mean");
    case Stddev:
        return QStringLiteral("stddev");
    case Min:
        return QStringLiteral("min");
    case Max:
        return QStringLiteral("max");
    case Standard:
        return QStringLiteral("standard");
    case Tolerance:
        return QStringLiteral("tolerance");
    case Verdict:
        return QStringLiteral("verdict");
    case PartVerdict:
        return QStringLiteral("part_verdict");
    default:
        return {};
    }
}

QVariant RecordPageModel::sortKey(const InspectionRecord& r) const {
    switch (sortColumn_) {
    case Time:
        return RecordCodec::timestampText(r.measuredAt);
    case Station:
        return r.station;
    case Operator:
        return r.operatorName;
    case Recipe:
        return r.recipe;
    case Circle:
        return r.circleName;
    case Source:
        return r.source;
    case Mean:
        return r.mean;
    case Stddev:
        return r.stddev;
    case Min:
        return r.min;
    case Max:
        return r.max;
    case Standard:
        return r.standard;
    case Tolerance:
        return r.tolerance;
    case Verdict:
        return r.verdict;
    case PartVerdict:
        return r.partVerdict;
    default:
        return {};
    }
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
    const QString key = sortExpression();
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    const QString direction = descending ? QStringLiteral("DESC") : QStringLiteral("ASC");
    const QChar after = descending ? u'<' : u'>';
    if (!rows_.empty()) {
        // Keyset paging: the next page starts after the last row's (key, id).
        const InspectionRecord& last = rows_.back();
        where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        if (key.isEmpty()) {
            where += QStringLiteral("id %1 ?").arg(after);
        } else {
            where += QStringLiteral("(%1 %2 ? OR (%1 = ? AND id %2 ?))").arg(key).arg(after);
            values << sortKey(last) << sortKey(last);
        }
        values << last.id;
    }
    const QString order = key.isEmpty() ? QStringLiteral("id %1").arg(direction)
                                        : QStringLiteral("%1 %2, id %2").arg(key, direction);
    QSqlQuery query(database_.connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements%2 ORDER BY %3 LIMIT %4")
                      .arg(RecordSchema::columnList(), where, order)
                      .arg(kPageSize));
    for (int i = 0; i < values.size(); ++i) {
        query.bindValue(i, values[i]);
    }
    std::vector<InspectionRecord> page;
    if (query.exec()) {
        while (query.next()) {
            page.push_back(RecordDatabase::fromRow(query));
        }
    } else {
        lastError_ = query.lastError().text();
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
        case Recipe:
            return r.recipe;
        case Circle:
            return r.circleName;
        case Source:
            return r.frame ? QStringLiteral("%1 #%2").arg(r.source).arg(*r.frame) : r.source;
        case Mean:
            return QString::number(r.mean, 'f', 1);
        case Stddev:
            return QString::number(r.stddev, 'f', 2);
        case Min:
            return QString::number(r.min, 'g', 10);
        case Max:
            return QString::number(r.max, 'g', 10);
        case Standard:
            return QString::number(r.standard, 'g', 10);
        case Tolerance:
            return QString::number(r.tolerance, 'g', 10);
        case Verdict:
            return r.verdict;
        case PartVerdict:
            return r.partVerdict;
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
    if (role == Qt::TextAlignmentRole && index.column() >= Mean && index.column() <= Tolerance) {
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
                                    QCoreApplication::translate("RecordPageModel", "レシピ"),
                                    QCoreApplication::translate("RecordPageModel", "円"),
                                    QCoreApplication::translate("RecordPageModel", "ソース"),
                                    QCoreApplication::translate("RecordPageModel", "平均濃度"),
                                    QCoreApplication::translate("RecordPageModel", "標準偏差"),
                                    QCoreApplication::translate("RecordPageModel", "最小"),
                                    QCoreApplication::translate("RecordPageModel", "最大"),
                                    QCoreApplication::translate("RecordPageModel", "基準濃度"),
                                    QCoreApplication::translate("RecordPageModel", "許容差"),
                                    QCoreApplication::translate("RecordPageModel", "判定"),
                                    QCoreApplication::translate("RecordPageModel", "部品の判定"),
                                    QCoreApplication::translate("RecordPageModel", "記録の鎖")};
    return titles.value(section);
}
