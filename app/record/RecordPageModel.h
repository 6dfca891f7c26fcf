#pragma once

// Standard library
#include <vector>

// Qt
#include <QAbstractTableModel>
#include <QSet>

// Ours
#include "InspectionRecord.h"
#include "RecordFilter.h"

class RecordDatabase;

// The filtered records, newest first or sorted by any column in the database, read a page at
// a time as the view scrolls: each page continues after the last row read, so a million rows
// cost no more than a hundred. Each page's chain links are checked as it arrives.
class RecordPageModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        Time,
        Station,
        Operator,
        Recipe,
        Circle,
        Source,
        Mean,
        Stddev,
        Min,
        Max,
        Standard,
        Tolerance,
        Verdict,
        PartVerdict, // of the part the circle belongs to
        Chain,
        ColumnCount
    };
    static constexpr int kPageSize = 200;

    explicit RecordPageModel(RecordDatabase& database, QObject* parent = nullptr);

    void setFilter(const RecordFilter& filter);
    const RecordFilter& filter() const { return filter_; }
    // Reads the filter again from the start, as far as at least `rows` rows.
    void reload(int rows);
    // Takes in the filter's records written after `afterId`: at the top when the table is
    // newest first and they are the newest, else by reading again as far as before.
    void takeNewer(qint64 afterId);
    int rowOf(qint64 id) const;
    QString lastError() const { return lastError_; }
    const InspectionRecord& record(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    bool linkBroken(int row) const { return broken_.contains(record(row).id); }
    int brokenShown() const { return static_cast<int>(broken_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;
    // Sorted by the database; the chain column sorts by the order of writing.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

private:
    QString sortExpression() const;
    QVariant sortKey(const InspectionRecord& record) const;

    RecordDatabase& database_;
    RecordFilter filter_;
    std::vector<InspectionRecord> rows_;
    QSet<qint64> broken_;
    bool atEnd_ = false;
    int sortColumn_ = Time;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
    QString lastError_;
};
