#pragma once

// Standard library
#include <cstdint>
#include <vector>

// Qt
#include <QRect>

// The outline of a disc exactly as the measurement selects it: of the pixels with
// dx² + dy² <= r², those that have a 4-neighbour outside the disc, as horizontal spans
// clipped to a rectangle. Only the clipped rows are visited, so any radius is cheap.
class DiscRim {
public:
    struct Span {
        int y;
        int x0; // first column, inclusive
        int x1; // last column, inclusive
    };

    DiscRim() = default;
    // A negative radius gives an empty rim; radius 0 is the centre pixel.
    DiscRim(int centerX, int centerY, int radius, const QRect& clip);

    // The rim of the same radius around another centre, clipped to `clip`: moved from this
    // one when both lie whole inside their clip, otherwise worked out afresh.
    DiscRim movedTo(int centerX, int centerY, const QRect& clip) const;
    int radius() const { return radius_; }

    // Ordered by row, then by column; at most two per row.
    const std::vector<Span>& spans() const { return spans_; }
    // Smallest rectangle holding every span; empty when there is none.
    const QRect& bounds() const { return bounds_; }

    // Largest s with s * s <= value.
    static std::uint64_t isqrt(std::uint64_t value);

private:
    void addSpan(int y, std::int64_t x0, std::int64_t x1, const QRect& clip);

    std::vector<Span> spans_;
    QRect bounds_;
    int centerX_ = 0;
    int centerY_ = 0;
    int radius_ = -1;
    bool whole_ = false; // no part of the disc was clipped
};
