#include "CapabilityPane.h"

// Standard library
#include <algorithm>
#include <array>

// Qt
#include <QAreaSeries>
#include <QChart>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QValueAxis>

// Ours
#include "CapabilityHistogram.h"
#include "CapabilityText.h"
#include "ChartEnvelope.h"
#include "RecordChartView.h"

namespace {

QLineSeries* horizontal(const QString& name, double y, double x0, double x1, const QColor& color,
                        Qt::PenStyle style) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(x0, y);
    line->append(x1, y);
    line->setPen(QPen(color, 1.5, style));
    return line;
}

QLineSeries* vertical(const QString& name, double x, double y1, const QColor& color,
                      Qt::PenStyle style) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(x, 0);
    line->append(x, y1);
    line->setPen(QPen(color, 1.5, style));
    return line;
}

// Sets a fresh chart on the view, with value axes over the given ranges.
QChart* freshChart(RecordChartView* view, const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignRight);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    return chart;
}

void attachAll(QChart* chart, double x0, double x1, double y0, double y1, const QString& xTitle,
               const QString& yTitle) {
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setRange(x0, x1);
    y->setRange(y0, y1);
    x->setTitleText(xTitle);
    y->setTitleText(yTitle);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

// Long series are drawn as the envelope of this many points, so the pane stays quick.
constexpr std::size_t kChartPoints = 4000;
constexpr std::size_t kMarksPerRule = 2000;

// Distinct shapes per rule, so that a mark reads without its colour.
constexpr std::array kRuleShapes{
    QScatterSeries::MarkerShapeRectangle, QScatterSeries::MarkerShapeTriangle,
    QScatterSeries::MarkerShapeStar, QScatterSeries::MarkerShapePentagon};

} // namespace

CapabilityPane::CapabilityPane(QWidget* parent) : QWidget(parent) {
    cboGroup_ = new QComboBox(this);
    cboGroup_->setObjectName(QStringLiteral("cboGroup"));
    cmdFreeze_ = new QPushButton(tr("基準期間として固定"), this);
    cmdFreeze_->setObjectName(QStringLiteral("cmdFreeze"));
    cmdFreeze_->setCheckable(true);
    lblFigures_ = new QLabel(this);
    lblFigures_->setObjectName(QStringLiteral("lblFigures"));
    lblFigures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFigures_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblRules_ = new QLabel(this);
    lblRules_->setObjectName(QStringLiteral("lblRules"));
    lblRules_->setWordWrap(true);
    individuals_ = new RecordChartView(this);
    movingRange_ = new RecordChartView(this);
    histogram_ = new RecordChartView(this);
    individuals_->setObjectName(QStringLiteral("chartIndividuals"));
    movingRange_->setObjectName(QStringLiteral("chartMovingRange"));
    histogram_->setObjectName(QStringLiteral("chartHistogram"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("限界値の組"), this));
    top->addWidget(cboGroup_, 1);
    top->addWidget(cmdFreeze_);
    auto* figures = new QWidget(this);
    auto* side = new QVBoxLayout(figures);
    side->addWidget(lblFigures_);
    side->addWidget(lblRules_);
    side->addStretch();
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(figures);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumWidth(300);
    auto* charts = new QGridLayout;
    charts->addWidget(individuals_, 0, 0);
    charts->addWidget(histogram_, 0, 1, 2, 1);
    charts->addWidget(movingRange_, 1, 0);
    charts->setRowStretch(0, 3);
    charts->setRowStretch(1, 2);
    auto* body = new QHBoxLayout;
    body->addWidget(scroll);
    body->addLayout(charts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    connect(cboGroup_, &QComboBox::currentIndexChanged, this, [this] { showGroup(); });
    connect(cmdFreeze_, &QPushButton::toggled, this, [this](bool on) {
        if (on) {
            freezeBaseline();
        } else {
            releaseBaseline();
        }
    });
}

void CapabilityPane::showData(const RecordQueries::CapabilityData& shown) {
    const int chosen = groupShown();
    std::optional<std::pair<double, double>> limits;
    if (chosen >= 0 && chosen < static_cast<int>(data_.groups.size())) {
        const auto& g = data_.groups[static_cast<std::size_t>(chosen)];
        limits = std::pair{g.standard, g.tolerance};
    }
    data_ = shown;
    const QSignalBlocker quiet(cboGroup_);
    cboGroup_->clear();
    int index = 0;
    for (std::size_t i = 0; i < data_.groups.size(); ++i) {
        const auto& g = data_.groups[i];
        cboGroup_->addItem(
            tr("%1　%2件").arg(ProcessCapability::limitsText(g)).arg(g.values.size()));
        if (limits && g.standard == limits->first && g.tolerance == limits->second) {
            index = static_cast<int>(i);
        }
    }
    cboGroup_->setCurrentIndex(data_.groups.empty() ? -1 : index);
    showGroup();
}

int CapabilityPane::groupShown() const {
    return cboGroup_->currentIndex();
}

void CapabilityPane::freezeBaseline() {
    const int chosen = groupShown();
    QString reason;
    if (chosen >= 0) {
        const auto& group = data_.groups[static_cast<std::size_t>(chosen)];
        baseline_ = ControlChartRules::limitsFrom(group.values, &reason);
        baselineGroup_ = {group.standard, group.tolerance};
    }
    const QSignalBlocker quiet(cmdFreeze_);
    cmdFreeze_->setChecked(baseline_.has_value());
    cmdFreeze_->setText(baseline_ ? tr("固定を解除") : tr("基準期間として固定"));
    showGroup();
    emit baselineChanged();
}

void CapabilityPane::releaseBaseline() {
    baseline_.reset();
    const QSignalBlocker quiet(cmdFreeze_);
    cmdFreeze_->setChecked(false);
    cmdFreeze_->setText(tr("基準期間として固定"));
    showGroup();
    emit baselineChanged();
}

QString CapabilityPane::figuresText() const {
    return lblFigures_->text();
}

void CapabilityPane::showGroup() {
    const int chosen = groupShown();
    ProcessCapability::Group group;
    if (chosen >= 0 && chosen < static_cast<int>(data_.groups.size())) {
        group = data_.groups[static_cast<std::size_t>(chosen)];
    }
    figures_ = ProcessCapability::compute(group);
    QString html = QStringLiteral("<table>");
    for (const auto& [name, value] : CapabilityText::rows(figures_)) {
        html += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
    }
    lblFigures_->setText(html + QStringLiteral("</table>"));

    QString reason;
    const bool frozen = baseline_ && baselineGroup_ == std::pair{group.standard, group.tolerance};
    limits_ = frozen ? baseline_ : ControlChartRules::limitsFrom(group.values, &reason);
    breaks_ = limits_ ? ControlChartRules::breaks(group.values, *limits_)
                      : std::vector<ControlChartRules::Break>{};
    QString rules =
        limits_ ? (frozen ? tr("管理限界: 固定した基準期間") : tr("管理限界: 表示中のデータ")) +
                      QStringLiteral("<br>") + CapabilityText::breaksText(breaks_)
                : tr("管理図 — (%1)").arg(reason);
    for (const auto rule :
         {ControlChartRules::Rule::BeyondThreeSigma, ControlChartRules::Rule::TwoOfThreeBeyondTwo,
          ControlChartRules::Rule::FourOfFiveBeyondOne, ControlChartRules::Rule::EightOnOneSide}) {
        rules += QStringLiteral("<br>%1 %2")
                     .arg(tr("規則%1:").arg(ControlChartRules::number(rule)),
                          ControlChartRules::describe(rule).toHtmlEscaped());
    }
    lblRules_->setText(rules);
    updateIndividuals(group.values);
    updateMovingRange(group.values);
    updateHistogram(group);
}

void CapabilityPane::updateIndividuals(const std::vector<double>& values) {
    QChart* chart = freshChart(individuals_, tr("個々の値 (I)"));
    const double x1 = std::max<double>(static_cast<double>(values.size()), 2);
    auto* line = new QLineSeries;
    line->setName(tr("値"));
    line->setPen(QPen(QColor(60, 60, 60), 1));
    double low = values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    double high = values.empty() ? 1 : *std::max_element(values.begin(), values.end());
    const std::vector<QPointF> points = ChartEnvelope::build(values, 1, kChartPoints);
    line->replace(QList<QPointF>(points.begin(), points.end()));
    chart->addSeries(line);
    if (limits_) {
        chart->addSeries(
            horizontal(tr("中心線"), limits_->centre, 1, x1, QColor(0, 120, 0), Qt::SolidLine));
        chart->addSeries(
            horizontal(tr("UCL/LCL"), limits_->upper(), 1, x1, QColor(200, 0, 0), Qt::DashLine));
        auto* lcl = horizontal(QString(), limits_->lower(), 1, x1, QColor(200, 0, 0), Qt::DashLine);
        chart->addSeries(lcl);
        chart->legend()->markers(lcl).first()->setVisible(false);
        low = std::min(low, limits_->lower());
        high = std::max(high, limits_->upper());
        std::array<std::size_t, 4> counts{};
        for (const auto& b : breaks_) {
            ++counts[static_cast<std::size_t>(ControlChartRules::number(b.rule) - 1)];
        }
        std::array<QList<QPointF>, 4> marks;
        std::array<std::size_t, 4> seen{};
        for (const auto& b : breaks_) {
            const auto r = static_cast<std::size_t>(ControlChartRules::number(b.rule) - 1);
            // Thousands of marks say no more than the count beside the chart; draw a sample.
            if (seen[r]++ % (counts[r] / kMarksPerRule + 1) == 0) {
                marks[r].append(QPointF(static_cast<double>(b.index + 1), values[b.index]));
            }
        }
        for (std::size_t r = 0; r < marks.size(); ++r) {
            if (marks[r].isEmpty()) {
                continue;
            }
            // Filled at once: a series drawn point by point costs each point a redraw.
            auto* series = new QScatterSeries;
            series->setName(tr("規則%1").arg(r + 1));
            series->setMarkerShape(kRuleShapes[r]);
            series->setMarkerSize(9 + 2 * static_cast<qreal>(r));
            series->replace(marks[r]);
            chart->addSeries(series);
        }
    }
    const double margin = std::max((high - low) * 0.05, 0.5);
    attachAll(chart, 1, x1, low - margin, high + margin, tr("記録の順"), tr("濃度"));
}

void CapabilityPane::updateMovingRange(const std::vector<double>& values) {
    QChart* chart = freshChart(movingRange_, tr("移動範囲 (MR)"));
    const std::vector<double> ranges = ControlChartRules::movingRanges(values);
    const double x1 = std::max<double>(static_cast<double>(values.size()), 2);
    auto* line = new QLineSeries;
    line->setName(tr("MR"));
    const std::vector<QPointF> points = ChartEnvelope::build(ranges, 2, kChartPoints);
    line->replace(QList<QPointF>(points.begin(), points.end()));
    double high = 1;
    for (const double r : ranges) {
        high = std::max(high, r);
    }
    chart->addSeries(line);
    if (limits_) {
        chart->addSeries(
            horizontal(tr("MR̄"), limits_->movingRange, 1, x1, QColor(0, 120, 0), Qt::SolidLine));
        chart->addSeries(horizontal(tr("UCL"), limits_->movingRangeUpper(), 1, x1,
                                    QColor(200, 0, 0), Qt::DashLine));
        high = std::max(high, limits_->movingRangeUpper());
    }
    attachAll(chart, 1, x1, 0, high * 1.05, tr("記録の順"), tr("移動範囲"));
}

void CapabilityPane::updateHistogram(const ProcessCapability::Group& group) {
    QChart* chart = freshChart(histogram_, tr("ヒストグラム"));
    const auto h = CapabilityHistogram::build(group.values, group.lsl(), group.usl(),
                                              figures_.mean.value, figures_.overallSd.value);
    if (!h) {
        attachAll(chart, 0, 1, 0, 1, tr("濃度"), tr("件数"));
        return;
    }
    // The bars as one outline of steps over the bins.
    auto* outline = new QLineSeries(chart);
    double top = 1;
    outline->append(h->low, 0);
    for (std::size_t i = 0; i < h->counts.size(); ++i) {
        const double x0 = h->low + h->width * static_cast<double>(i);
        const auto count = static_cast<double>(h->counts[i]);
        outline->append(x0, count);
        outline->append(x0 + h->width, count);
        top = std::max(top, count);
    }
    outline->append(h->high(), 0);
    auto* bars = new QAreaSeries(outline);
    bars->setName(tr("度数"));
    bars->setColor(QColor(90, 130, 200, 140));
    bars->setBorderColor(QColor(40, 70, 140));
    chart->addSeries(bars);
    if (!h->normalCurve.empty()) {
        auto* curve = new QLineSeries;
        curve->setName(tr("正規分布"));
        curve->setPen(QPen(QColor(0, 0, 0), 1.5));
        for (const QPointF& p : h->normalCurve) {
            curve->append(p);
            top = std::max(top, p.y());
        }
        chart->addSeries(curve);
    }
    top *= 1.1;
    chart->addSeries(
        vertical(QStringLiteral("LSL"), group.lsl(), top, QColor(200, 0, 0), Qt::DashLine));
    chart->addSeries(
        vertical(QStringLiteral("USL"), group.usl(), top, QColor(200, 0, 0), Qt::DashDotLine));
    if (figures_.mean.known()) {
        chart->addSeries(
            vertical(tr("平均"), *figures_.mean.value, top, QColor(0, 120, 0), Qt::SolidLine));
    }
    attachAll(chart, h->low, h->high(), 0, top, tr("濃度"), tr("件数"));
}
