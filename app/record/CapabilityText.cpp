#include "CapabilityText.h"

// Standard library
#include <array>

// Qt
#include <QCoreApplication>
#include <QStringList>

namespace CapabilityText {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("CapabilityText", text);
}

QString number(double value) {
    return QString::number(value, 'g', 10);
}

} // namespace

std::vector<std::pair<QString, QString>> rows(const ProcessCapability::Figures& f) {
    return {
        {tr("基準濃度 ± 許容差"),
         QStringLiteral("%1 ± %2").arg(number(f.standard), number(f.tolerance))},
        {QStringLiteral("LSL"), number(f.lsl)},
        {QStringLiteral("USL"), number(f.usl)},
        {QStringLiteral("n"), QString::number(f.n)},
        {QStringLiteral("OK"), QString::number(f.ok)},
        {QStringLiteral("NG"), QString::number(f.ng)},
        {tr("歩留まり (%)"), f.yieldPercent.textWithReason(1)},
        {tr("平均"), f.mean.textWithReason(3)},
        {tr("標準偏差 (全体)"), f.overallSd.textWithReason(3)},
        {tr("標準偏差 (群内)"), f.withinSd.textWithReason(3)},
        {QStringLiteral("Cp"), f.cp.textWithReason(3)},
        {QStringLiteral("Cpk"), f.cpk.textWithReason(3)},
        {tr("Cpk 95%信頼区間"),
         f.cpkLower95.known()
             ? QStringLiteral("%1 – %2").arg(f.cpkLower95.text(3), f.cpkUpper95.text(3))
             : f.cpkLower95.textWithReason(3)},
        {QStringLiteral("Pp"), f.pp.textWithReason(3)},
        {QStringLiteral("Ppk"), f.ppk.textWithReason(3)},
    };
}

QString summaryLine(const ProcessCapability::Figures& f) {
    return tr("限界 %1 ± %2：件数 %3　　OK %4　　NG %5　　歩留まり %6%　　平均濃度 %7　　"
              "標準偏差 %8")
        .arg(number(f.standard), number(f.tolerance))
        .arg(f.n)
        .arg(f.ok)
        .arg(f.ng)
        .arg(f.yieldPercent.text(1), f.mean.text(2), f.overallSd.text(2));
}

QString summaryHeading(int groups) {
    return groups == 0 ? tr("該当する記録はありません")
                       : tr("限界値の組ごとの集計（%1組）").arg(groups);
}

QString breaksText(const std::vector<ControlChartRules::Break>& breaks) {
    if (breaks.empty()) {
        return tr("規則違反なし");
    }
    std::array<int, 4> counts{};
    for (const auto& b : breaks) {
        ++counts[static_cast<std::size_t>(ControlChartRules::number(b.rule) - 1)];
    }
    QStringList parts;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > 0) {
            parts << tr("規則%1 ×%2").arg(i + 1).arg(counts[i]);
        }
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace CapabilityText
