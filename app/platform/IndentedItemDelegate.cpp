#include "IndentedItemDelegate.h"

// Standard library
#include <algorithm>

namespace {

constexpr int Step = 12;
constexpr int MaxDepth = 8;

} // namespace

int IndentedItemDelegate::indentOf(const QModelIndex& index) {
    return std::clamp(index.data(DepthRole).toInt(), 0, MaxDepth) * Step;
}

void IndentedItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + indentOf(index));
    QStyledItemDelegate::paint(painter, shifted, index);
}

QSize IndentedItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(indentOf(index), 0);
}
