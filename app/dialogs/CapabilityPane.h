#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QWidget>

// Ours
#include "ControlChartRules.h"
#include "ProcessCapability.h"
#include "RecordQueries.h"

class QComboBox;
class QLabel;
class QPushButton;
class RecordChartView;

// 工程能力: for one group of equal limits among the filtered records, the capability figures,
// the I-MR chart with its rule breaks and the histogram with the normal curve. The control
// limits come from the data shown, or from a baseline the user froze.
class CapabilityPane : public QWidget {
    Q_OBJECT

public:
    explicit CapabilityPane(QWidget* parent = nullptr);

    // Shows `data`, keeping the chosen group when its limits are still there.
    void showData(const RecordQueries::CapabilityData& shown);

    int groupShown() const;
    const ProcessCapability::Figures& figures() const { return figures_; }
    const std::vector<ControlChartRules::Break>& ruleBreaks() const { return breaks_; }
    // The frozen baseline and the limits of the group it was frozen on; it applies to that
    // group only.
    std::optional<ControlChartRules::Limits> baseline() const { return baseline_; }
    std::pair<double, double> baselineGroup() const { return baselineGroup_; }
    // The limits the chart uses: the frozen baseline or those of the data shown.
    std::optional<ControlChartRules::Limits> controlLimits() const { return limits_; }
    void freezeBaseline();
    void releaseBaseline();
    QString figuresText() const;

signals:
    void baselineChanged();

private:
    void showGroup();
    void updateIndividuals(const std::vector<double>& values);
    void updateMovingRange(const std::vector<double>& values);
    void updateHistogram(const ProcessCapability::Group& group);

    RecordQueries::CapabilityData data_;
    ProcessCapability::Figures figures_;
    std::vector<ControlChartRules::Break> breaks_;
    std::optional<ControlChartRules::Limits> baseline_;
    std::pair<double, double> baselineGroup_;
    std::optional<ControlChartRules::Limits> limits_;

    QComboBox* cboGroup_ = nullptr;
    QLabel* lblFigures_ = nullptr;
    QLabel* lblRules_ = nullptr;
    QPushButton* cmdFreeze_ = nullptr;
    RecordChartView* individuals_ = nullptr;
    RecordChartView* movingRange_ = nullptr;
    RecordChartView* histogram_ = nullptr;
};
