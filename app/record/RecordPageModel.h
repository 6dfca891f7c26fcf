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

// The filtered records, newest first, read a page at a time as the view scrolls: each page
// continues after the last row read, so a million rows cost no more than a hundred. Each
// page's chain links are checked as it arrives.
class RecordPageModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Station, Operator, Source, Mean, Verdict, Chain, ColumnCount };
    static constexpr int kPageSize = 200;

    explicit RecordPageModel(RecordDatabase& database, QObject* parent = nullptr);

    void setFilter(const RecordFilter& filter);
    const RecordFilter& filter() const { return filter_; }
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

private:
    RecordDatabase& database_;
    RecordFilter filter_;
    std::vector<InspectionRecord> rows_;
    QSet<qint64> broken_;
    bool atEnd_ = false;
};
