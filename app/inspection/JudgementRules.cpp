#include "JudgementRules.h"

// Qt
#include <QCoreApplication>

// Ours
#include "DensityJudge.h"
#include "Int32Rounding.h"
#include "pelmint.h"

namespace JudgementRules {

MeasuredCircle measuredCircle(const CircleFigure& figure) {
    return {Int32Rounding::toNearestEven(figure.centerX()),
            Int32Rounding::toNearestEven(figure.centerY()),
            Int32Rounding::toNearestEven(figure.radius())};
}

Verdict verdictOf(double standard, double tolerance, double mean) {
    return DensityJudge::judge(standard, tolerance, mean) == DensityJudge::Verdict::OK
               ? Verdict::OK
               : Verdict::NG;
}

namespace {

CircleJudgement started(const CircleSetting& setting, const MeasuredCircle& circle,
                        double elapsedMs) {
    CircleJudgement judgement;
    judgement.name = setting.name;
    judgement.circle = circle;
    judgement.standard = setting.standard;
    judgement.tolerance = setting.tolerance;
    judgement.elapsedMs = elapsedMs;
    return judgement;
}

} // namespace

CircleJudgement judgeAverage(const CircleSetting& setting, const MeasuredCircle& circle,
                             double mean, double elapsedMs) {
    CircleJudgement judgement = started(setting, circle, elapsedMs);
    // The library answers exactly -1.0 when it refuses a call.
    if (mean == -1.0) {
        judgement.rejection = rejectionText(PELMINT_NO_PIXELS);
        return judgement;
    }
    judgement.mean = mean;
    judgement.verdict = verdictOf(setting.standard, setting.tolerance, mean);
    return judgement;
}

CircleJudgement judgeStatistics(const CircleSetting& setting, const MeasuredCircle& circle,
                                std::int32_t status, const PixelStatistics& statistics,
                                double elapsedMs) {
    CircleJudgement judgement = started(setting, circle, elapsedMs);
    if (status != PELMINT_OK) {
        judgement.rejection = rejectionText(status);
        return judgement;
    }
    judgement.mean = statistics.mean;
    judgement.statistics = statistics;
    judgement.verdict = verdictOf(setting.standard, setting.tolerance, statistics.mean);
    return judgement;
}

Verdict partVerdict(const std::vector<CircleJudgement>& circles) {
    if (circles.empty()) {
        return Verdict::Rejected;
    }
    for (const CircleJudgement& circle : circles) {
        if (circle.verdict != Verdict::OK) {
            return Verdict::NG;
        }
    }
    return Verdict::OK;
}

QString verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::OK:
        return QStringLiteral("OK");
    case Verdict::NG:
        return QStringLiteral("NG");
    case Verdict::Rejected:
        break;
    }
    return QStringLiteral("ERROR");
}

QString rejectionText(std::int32_t status) {
    if (status == PELMINT_NO_PIXELS) {
        return QCoreApplication::translate("JudgementRules", "円が画像の画素を含みません");
    }
    return QCoreApplication::translate("JudgementRules", "測定ライブラリが呼び出しを拒否しました");
}

} // namespace JudgementRules
