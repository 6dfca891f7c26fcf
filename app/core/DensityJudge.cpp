#include "DensityJudge.h"

// Ours
#include "LenientNumber.h"

DensityJudge::Verdict DensityJudge::judge(const QString& standardText, const QString& toleranceText,
                                          double average) {
    return judge(LenientNumber::read(standardText), LenientNumber::read(toleranceText), average);
}

DensityJudge::Verdict DensityJudge::judge(double standard, double tolerance, double average) {
    const double lower = standard - tolerance;
    const double upper = standard + tolerance;
    // Written so that every comparison with a NaN falls through to NG.
    return lower < average && average < upper ? Verdict::OK : Verdict::NG;
}
