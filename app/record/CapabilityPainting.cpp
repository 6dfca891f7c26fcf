#include "CapabilityPainting.h"

// Standard library
#include <algorithm>
#include <array>
#include <cmath>

// Qt
#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

// Ours
#include "CapabilityHistogram.h"

namespace CapabilityPainting {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("CapabilityPainting", text);
}

// Maps values into a plot area inside `area`, leaving room for the labels on the left.
struct Frame {
    QRectF plot;
    double x0, x1, y0, y1;

    QPointF at(double x, double y) const {
        return {plot.left() + (x - x0) / (x1 - x0) * plot.width(),
                plot.bottom() - (y - y0) / (y1 - y0) * plot.height()};
    }
};

Frame frameIn(QPainter& painter, const QRectF& area, double x0, double x1, double y0, double y1,
              const QString& title) {
    const double text = painter.fontMetrics().height();
    Frame f{area.adjusted(text * 4.5, text * 2, -text * 0.5, -text * 1.4), x0, x1, y0, y1};
    if (!(f.x1 > f.x0)) {
        f.x1 = f.x0 + 1;
    }
    if (!(f.y1 > f.y0)) {
        f.y1 = f.y0 + 1;
    }
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), text * 1.3),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.drawRect(f.plot);
    for (int i = 0; i <= 4; ++i) {
        const double y = f.y0 + (f.y1 - f.y0) * i / 4;
        const QPointF p = f.at(f.x0, y);
        painter.drawText(QRectF(area.left(), p.y() - text / 2, text * 4.3, text),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(y, 'f', 1));
    }
    for (int i = 0; i <= 4; ++i) {
        const double x = f.x0 + (f.x1 - f.x0) * i / 4;
        const QPointF p = f.at(x, f.y0);
        painter.drawText(QRectF(p.x() - text * 3, f.plot.bottom(), text * 6, text * 1.3),
                         Qt::AlignCenter, QString::number(x, 'g', 6));
    }
    return f;
}

void horizontalLine(QPainter& painter, const Frame& f, double y, const QColor& color,
                    Qt::PenStyle style, const QString& label) {
    if (y < f.y0 || y > f.y1) {
        return;
    }
    painter.setPen(QPen(color, 0, style));
    const QPointF a = f.at(f.x0, y);
    const QPointF b = f.at(f.x1, y);
    painter.drawLine(a, b);
    const double text = painter.fontMetrics().height();
    painter.drawText(QRectF(b.x() - text * 8, b.y() - text, text * 8, text),
                     Qt::AlignRight | Qt::AlignBottom, label);
}

void verticalLine(QPainter& painter, const Frame& f, double x, const QColor& color,
                  Qt::PenStyle style, const QString& label) {
    painter.setPen(QPen(color, 0, style));
    const QPointF a = f.at(x, f.y0);
    const QPointF b = f.at(x, f.y1);
    painter.drawLine(a, b);
    painter.drawText(QPointF(b.x() + 4, b.y() + painter.fontMetrics().ascent()), label);
}

// The series as a polyline, or as each pixel column's range when denser than the pixels.
void drawSeries(QPainter& painter, const Frame& f, const std::vector<double>& values,
                double firstX) {
    painter.setPen(QPen(QColor(60, 60, 60), 0));
    const auto columns = static_cast<std::size_t>(std::max(1.0, f.plot.width()));
    if (values.size() <= columns * 2) {
        QPolygonF line;
        line.reserve(static_cast<qsizetype>(values.size()));
        for (std::size_t i = 0; i < values.size(); ++i) {
            line << f.at(firstX + static_cast<double>(i), values[i]);
        }
        painter.drawPolyline(line);
        return;
    }
    const double perColumn = static_cast<double>(values.size()) / static_cast<double>(columns);
    QPainterPath path;
    for (std::size_t c = 0; c < columns; ++c) {
        const auto from = static_cast<std::size_t>(static_cast<double>(c) * perColumn);
        const auto to = std::min(values.size(),
                                 static_cast<std::size_t>(static_cast<double>(c + 1) * perColumn));
        if (from >= to) {
            continue;
        }
        const auto [low, high] = std::minmax_element(values.begin() + static_cast<long>(from),
                                                     values.begin() + static_cast<long>(to));
        const double x = firstX + static_cast<double>(from);
        path.moveTo(f.at(x, *low));
        path.lineTo(f.at(x, *high) + QPointF(0, -0.5));
    }
    painter.drawPath(path);
}

void drawMark(QPainter& painter, QPointF p, int rule, double size) {
    switch (rule) {
    case 1:
        painter.drawRect(QRectF(p.x() - size, p.y() - size, 2 * size, 2 * size));
        break;
    case 2:
        painter.drawPolygon(QPolygonF{{p.x(), p.y() - size * 1.2},
                                      {p.x() - size, p.y() + size},
                                      {p.x() + size, p.y() + size}});
        break;
    case 3:
        painter.drawPolygon(QPolygonF{{p.x(), p.y() - size},
                                      {p.x() + size, p.y()},
                                      {p.x(), p.y() + size},
                                      {p.x() - size, p.y()}});
        break;
    default:
        painter.drawEllipse(p, size, size);
        break;
    }
}

} // namespace

void drawControlChart(QPainter& painter, const QRectF& area, const std::vector<double>& values,
                      const std::optional<ControlChartRules::Limits>& limits,
                      const std::vector<ControlChartRules::Break>& breaks) {
    const QRectF top(area.left(), area.top(), area.width(), area.height() * 0.6);
    const QRectF bottom(area.left(), top.bottom(), area.width(), area.height() - top.height());
    double low = values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    double high = values.empty() ? 1 : *std::max_element(values.begin(), values.end());
    if (limits) {
        low = std::min(low, limits->lower());
        high = std::max(high, limits->upper());
    }
    const double margin = std::max((high - low) * 0.05, 0.5);
    const double n = std::max<double>(static_cast<double>(values.size()), 2);
    const Frame f =
        frameIn(painter, top, 1, n, low - margin, high + margin, tr("個々の値 (I) 管理図"));
    drawSeries(painter, f, values, 1);
    if (limits) {
        horizontalLine(painter, f, limits->centre, QColor(0, 120, 0), Qt::SolidLine,
                       tr("CL %1").arg(limits->centre, 0, 'f', 2));
        horizontalLine(painter, f, limits->upper(), QColor(200, 0, 0), Qt::DashLine,
                       tr("UCL %1").arg(limits->upper(), 0, 'f', 2));
        horizontalLine(painter, f, limits->lower(), QColor(200, 0, 0), Qt::DashLine,
                       tr("LCL %1").arg(limits->lower(), 0, 'f', 2));
        static constexpr std::array kColours{Qt::red, Qt::magenta, Qt::darkYellow, Qt::darkCyan};
        const double size = painter.fontMetrics().height() * 0.25;
        for (const auto& b : breaks) {
            const int rule = ControlChartRules::number(b.rule);
            painter.setPen(QPen(kColours[static_cast<std::size_t>(rule - 1)], 0));
            painter.setBrush(Qt::NoBrush);
            drawMark(painter, f.at(static_cast<double>(b.index + 1), values[b.index]), rule,
                     size * (1 + 0.25 * (rule - 1)));
        }
    }
    const std::vector<double> ranges = ControlChartRules::movingRanges(values);
    double rangeHigh = ranges.empty() ? 1 : *std::max_element(ranges.begin(), ranges.end());
    if (limits) {
        rangeHigh = std::max(rangeHigh, limits->movingRangeUpper());
    }
    const Frame g = frameIn(painter, bottom, 1, n, 0, std::max(rangeHigh * 1.05, 1e-9),
                            tr("移動範囲 (MR) 管理図"));
    drawSeries(painter, g, ranges, 2);
    if (limits) {
        horizontalLine(painter, g, limits->movingRange, QColor(0, 120, 0), Qt::SolidLine,
                       tr("MR̄ %1").arg(limits->movingRange, 0, 'f', 2));
        horizontalLine(painter, g, limits->movingRangeUpper(), QColor(200, 0, 0), Qt::DashLine,
                       tr("UCL %1").arg(limits->movingRangeUpper(), 0, 'f', 2));
    }
}

void drawHistogram(QPainter& painter, const QRectF& area, const ProcessCapability::Group& group,
                   const ProcessCapability::Figures& figures) {
    const auto h = CapabilityHistogram::build(group.values, group.lsl(), group.usl(),
                                              figures.mean.value, figures.overallSd.value);
    if (!h) {
        frameIn(painter, area, 0, 1, 0, 1, tr("ヒストグラム — (記録がない)"));
        return;
    }
    double top = 1;
    for (const qint64 c : h->counts) {
        top = std::max(top, static_cast<double>(c));
    }
    for (const QPointF& p : h->normalCurve) {
        top = std::max(top, p.y());
    }
    top *= 1.1;
    const Frame f = frameIn(painter, area, h->low, h->high(), 0, top, tr("ヒストグラム"));
    painter.setPen(QPen(QColor(40, 70, 140), 0));
    painter.setBrush(QColor(90, 130, 200, 140));
    for (std::size_t i = 0; i < h->counts.size(); ++i) {
        const double x0 = h->low + h->width * static_cast<double>(i);
        painter.drawRect(
            QRectF(f.at(x0, static_cast<double>(h->counts[i])), f.at(x0 + h->width, 0)));
    }
    painter.setBrush(Qt::NoBrush);
    if (!h->normalCurve.empty()) {
        QPolygonF curve;
        for (const QPointF& p : h->normalCurve) {
            curve << f.at(p.x(), p.y());
        }
        painter.setPen(QPen(Qt::black, 0));
        painter.drawPolyline(curve);
    }
    verticalLine(painter, f, group.lsl(), QColor(200, 0, 0), Qt::DashLine, QStringLiteral("LSL"));
    verticalLine(painter, f, group.usl(), QColor(200, 0, 0), Qt::DashDotLine,
                 QStringLiteral("USL"));
    if (figures.mean.known()) {
        verticalLine(painter, f, *figures.mean.value, QColor(0, 120, 0), Qt::SolidLine, tr("平均"));
    }
}

} // namespace CapabilityPainting
