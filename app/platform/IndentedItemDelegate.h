#pragma once

// Qt
#include <QStyledItemDelegate>

// Draws each item of a list shifted right by its depth (an int under DepthRole), so that
// a flat list reads as a tree. Deep items are indented only so far, to keep names in view.
class IndentedItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int DepthRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    static int indentOf(const QModelIndex& index);
};
