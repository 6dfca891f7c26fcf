#pragma once

// Ours
#include "RowWriter.h"

// Comma-separated values with a header line; fields of a row that could not be measured are
// empty.
class CsvWriter : public RowWriter {
public:
    using RowWriter::RowWriter;
    void begin() override;
    void write(const MeasurementRow& row) override;
};
