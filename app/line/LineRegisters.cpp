#include "LineRegisters.h"

// Standard library
#include <cmath>
#include <limits>

namespace LineRegisters {

namespace {

double clamped(double value, double top, std::uint16_t flag, std::uint16_t& mask) {
    if (std::isnan(value)) {
        mask |= flag;
        return 0.0;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < 0.0) {
        mask |= flag;
        return 0.0;
    }
    if (rounded > top) {
        mask |= flag;
        return top;
    }
    return rounded;
}

} // namespace

std::uint16_t clampToRegister(double value, std::uint16_t flag, std::uint16_t& mask) {
    return static_cast<std::uint16_t>(clamped(value, 65535.0, flag, mask));
}

void putWords(std::uint16_t* registers, double value, std::uint16_t flag, std::uint16_t& mask) {
    const auto word = static_cast<std::uint32_t>(clamped(value, 4294967295.0, flag, mask));
    registers[0] = static_cast<std::uint16_t>(word >> 16);
    registers[1] = static_cast<std::uint16_t>(word & 0xFFFF);
}

Result encode(const Judgement& judgement) {
    Result result;
    auto& r = result.registers;
    std::uint16_t mask = 0;
    putWords(&r[SequenceHigh], static_cast<double>(judgement.sequence), ClampedSequence, mask);

    const bool measured = !judgement.circles.empty() && !judgement.measuredNothing();
    const Verdict part = judgement.circles.empty() ? Verdict::Rejected : judgement.partVerdict();
    result.partOk = measured && part == Verdict::OK;
    result.partNg = !judgement.circles.empty() && !result.partOk;
    r[VerdictCode] = static_cast<std::uint16_t>(
        result.partOk ? PartCode::Ok : (result.partNg ? PartCode::Ng : PartCode::None));
    r[CircleCount] = static_cast<std::uint16_t>(judgement.circles.size());

    double elapsedUs = 0.0;
    for (std::size_t i = 0; i < judgement.circles.size(); ++i) {
        const CircleJudgement& circle = judgement.circles[i];
        elapsedUs += circle.elapsedMs * 1000.0;
        if (i < result.circleOk.size()) {
            result.circleOk[i] = circle.verdict == Verdict::OK;
        }
    }
    putWords(&r[MeasurementUsHigh], elapsedUs, ClampedTime, mask);

    if (!judgement.circles.empty() && judgement.circles.front().verdict != Verdict::Rejected) {
        const CircleJudgement& first = judgement.circles.front();
        r[Mean] = clampToRegister(first.mean * 100.0, ClampedMean, mask);
        if (first.statistics) {
            const PixelStatistics& s = *first.statistics;
            r[StdDev] = clampToRegister(s.stddev * 100.0, ClampedStdDev, mask);
            r[Min] = clampToRegister(s.min, ClampedMin, mask);
            r[Max] = clampToRegister(s.max, ClampedMax, mask);
            putWords(&r[PixelCountHigh], static_cast<double>(s.count), ClampedCount, mask);
        }
    }
    r[ErrorCode] = static_cast<std::uint16_t>(
        measured || judgement.circles.empty() ? Fault::None : Fault::NothingMeasured);
    r[ClampMask] = mask;
    return result;
}

} // namespace LineRegisters
