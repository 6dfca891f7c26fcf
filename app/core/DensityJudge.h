#pragma once

// Qt
#include <QString>

// The OK/NG judgement of a measured average against a standard and a tolerance typed by
// the operator. The limits are strict and use the unrounded average.
namespace DensityJudge {

enum class Verdict { OK, NG };

// Both texts are read leniently (LenientNumber), so a number beyond the double range is
// an infinity: an infinite standard judges NG, an infinite tolerance around a finite
// standard judges every finite average OK. An average or a limit that is not a number
// judges NG.
Verdict judge(const QString& standardText, const QString& toleranceText, double average);
Verdict judge(double standard, double tolerance, double average);

} // namespace DensityJudge
