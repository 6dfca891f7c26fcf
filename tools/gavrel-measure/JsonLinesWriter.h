#pragma once

// Ours
#include "RowWriter.h"

// One JSON object per line with the fields of the CSV header; null where a row could not
// be measured.
class JsonLinesWriter : public RowWriter {
public:
    using RowWriter::RowWriter;
    void write(const MeasurementRow& row) override;
};
