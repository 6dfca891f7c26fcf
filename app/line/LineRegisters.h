#pragma once

// Standard library
#include <array>
#include <cstdint>

// Ours
#include "Judgement.h"

// The Modbus register map a PLC reads and writes, and how a judgement is written into it.
// Every address is zero-based, as on the wire.
namespace LineRegisters {

// Coils (read 01, write 05 and 15).
constexpr int kTriggerCoil = 0;
constexpr int kCoilCount = 1;

// Discrete inputs (read 02).
enum Bit : int {
    Ready = 0,       // judging and able to take a trigger
    Busy = 1,        // a triggered judgement is under way
    ResultValid = 2, // the result registers hold a judgement
    PartOk = 3,
    PartNg = 4,
    Error = 5, // see the error code register
    CameraOk = 6,
    RecordOk = 7,       // the record is written (not spooling, no fault)
    BrokerOk = 8,       // the broker is connected (messages dropped: see their count)
    Clamped = 9,        // a result value did not fit its register (see the clamp mask)
    ProcessAlarm = 10,  // the judgement broke a control-chart rule: a drift before NG
    FirstCircleOk = 16, // circles 1 to 16, OK each
};
constexpr int kCircleBits = 16;
constexpr int kDiscreteInputCount = FirstCircleOk + kCircleBits;

// Input registers (read 04); 32-bit values high word first.
enum Register : int {
    SequenceHigh = 0,
    SequenceLow = 1,
    VerdictCode = 2, // 0 none, 1 OK, 2 NG
    CircleCount = 3,
    Mean = 4,   // the first circle's, in hundredths
    StdDev = 5, // in hundredths
    Min = 6,
    Max = 7,
    PixelCountHigh = 8,
    PixelCountLow = 9,
    MeasurementUsHigh = 10, // every circle's library time, in microseconds
    MeasurementUsLow = 11,
    ErrorCode = 12,
    ClampMask = 13,  // which values were clamped, see Clamp
    RecipeSlot = 14, // the slot of the recipe in use, 0 without one
    RefusedTriggersHigh = 15,
    RefusedTriggersLow = 16,
    DroppedMessagesHigh = 17,
    DroppedMessagesLow = 18,
};
constexpr int kInputRegisterCount = 19;
// The registers that belong to one judgement and change only together with its sequence.
constexpr int kResultRegisterCount = ClampMask + 1;

// Holding registers (read 03, write 06 and 16).
constexpr int kRecipeSlotRegister = 0;
constexpr int kHoldingRegisterCount = 1;

enum Clamp : std::uint16_t {
    ClampedSequence = 1 << 0,
    ClampedMean = 1 << 1,
    ClampedStdDev = 1 << 2,
    ClampedMin = 1 << 3,
    ClampedMax = 1 << 4,
    ClampedCount = 1 << 5,
    ClampedTime = 1 << 6,
};

enum class Fault : std::uint16_t {
    None = 0,
    NothingMeasured = 1, // the library refused every circle
    CameraFailed = 2,
    RecordFailed = 3,
    UnknownRecipeSlot = 4,
    TriggerRefused = 5, // a trigger came while busy
};

enum class PartCode : std::uint16_t { None = 0, Ok = 1, Ng = 2 };

// What one judgement puts into the map.
struct Result {
    std::array<std::uint16_t, kResultRegisterCount> registers{};
    bool partOk = false;
    bool partNg = false;
    std::array<bool, kCircleBits> circleOk{};
    bool operator==(const Result&) const = default;
};

Result encode(const Judgement& judgement);

// `value` rounded to a register, or its nearest end with `flag` added to `mask`.
std::uint16_t clampToRegister(double value, std::uint16_t flag, std::uint16_t& mask);
// A 32-bit value as two registers, high word first, clamped the same way.
void putWords(std::uint16_t* registers, double value, std::uint16_t flag, std::uint16_t& mask);

} // namespace LineRegisters
