#pragma once

// Qt
#include <QString>

// The OK/NG judgement of a measured average against a standard and a tolerance typed by
// the operator. The limits are strict and use the unrounded average.
class DensityJudge {
public:
    enum class Verdict { OK, NG };

    // Both texts are read leniently (LenientNumber). Limits beyond the double range, an
    // average that is not a number, or limits that are not numbers all judge NG.
    static Verdict judge(const QString& standardText, const QString& toleranceText, double average);
    static Verdict judge(double standard, double tolerance, double average);
};
