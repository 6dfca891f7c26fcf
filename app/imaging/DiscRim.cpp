#include "DiscRim.h"

// Standard library
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

// The square around a disc, when it is small enough to be a rectangle at all.
std::optional<QRect> squareAround(int centerX, int centerY, int radius, const QRect& clip) {
    constexpr int kLargest = 1 << 20;
    if (radius < 0 || radius > kLargest || std::abs(centerX) > kLargest ||
        std::abs(centerY) > kLargest || clip.isEmpty()) {
        return std::nullopt;
    }
    return QRect(centerX - radius, centerY - radius, 2 * radius + 1, 2 * radius + 1);
}

} // namespace

DiscRim::DiscRim(int centerX, int centerY, int radius, const QRect& clip)
    : centerX_(centerX), centerY_(centerY), radius_(radius) {
    if (radius < 0 || clip.isEmpty()) {
        return;
    }
    const std::optional<QRect> square = squareAround(centerX, centerY, radius, clip);
    whole_ = square && clip.contains(*square);
    const std::int64_t cx = centerX;
    const std::int64_t cy = centerY;
    const std::int64_t r = radius;
    const auto rr = static_cast<std::uint64_t>(r * r);
    // Half-width of the disc's row at vertical distance d from the centre; -1 beyond it.
    const auto halfWidth = [&](std::int64_t d) -> std::int64_t {
        if (d > r) {
            return -1;
        }
        return static_cast<std::int64_t>(isqrt(rr - static_cast<std::uint64_t>(d * d)));
    };

    const std::int64_t firstRow = std::max<std::int64_t>(cy - r, clip.top());
    const std::int64_t lastRow = std::min<std::int64_t>(cy + r, clip.bottom());
    if (firstRow > lastRow) {
        return;
    }
    spans_.reserve(static_cast<std::size_t>(2 * (lastRow - firstRow + 1)));
    for (std::int64_t y = firstRow; y <= lastRow; ++y) {
        const std::int64_t d = y >= cy ? y - cy : cy - y;
        const std::int64_t w = halfWidth(d);
        // The neighbour row further from the centre is the narrower one, so it alone decides
        // which pixels of this row have a vertical neighbour outside; the row ends always do.
        const std::int64_t inner = std::min(halfWidth(d + 1) + 1, w);
        const int row = static_cast<int>(y);
        if (inner == 0) {
            addSpan(row, cx - w, cx + w, clip);
        } else {
            addSpan(row, cx - w, cx - inner, clip);
            addSpan(row, cx + inner, cx + w, clip);
        }
    }
    if (!spans_.empty()) {
        int left = spans_.front().x0;
        int right = spans_.front().x1;
        for (const Span& span : spans_) {
            left = std::min(left, span.x0);
            right = std::max(right, span.x1);
        }
        bounds_ = QRect(QPoint(left, spans_.front().y), QPoint(right, spans_.back().y));
    }
}

void DiscRim::addSpan(int y, std::int64_t x0, std::int64_t x1, const QRect& clip) {
    x0 = std::max<std::int64_t>(x0, clip.left());
    x1 = std::min<std::int64_t>(x1, clip.right());
    if (x0 > x1) {
        return;
    }
    spans_.push_back(Span{y, static_cast<int>(x0), static_cast<int>(x1)});
}

DiscRim DiscRim::movedTo(int centerX, int centerY, const QRect& clip) const {
    const std::optional<QRect> square = squareAround(centerX, centerY, radius_, clip);
    if (!whole_ || !square || !clip.contains(*square)) {
        return DiscRim(centerX, centerY, radius_, clip);
    }
    const int dx = centerX - centerX_;
    const int dy = centerY - centerY_;
    DiscRim moved;
    moved.spans_.reserve(spans_.size());
    for (const Span& span : spans_) {
        moved.spans_.push_back(Span{span.y + dy, span.x0 + dx, span.x1 + dx});
    }
    moved.bounds_ = bounds_.translated(dx, dy);
    moved.centerX_ = centerX;
    moved.centerY_ = centerY;
    moved.radius_ = radius_;
    moved.whole_ = true;
    return moved;
}

std::uint64_t DiscRim::isqrt(std::uint64_t value) {
    auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(value)));
    // The floating estimate can be off by one either way near large perfect squares.
    while (root > 0 && (root > UINT32_MAX || root * root > value)) {
        --root;
    }
    while (root < UINT32_MAX && (root + 1) * (root + 1) <= value) {
        ++root;
    }
    return root;
}
