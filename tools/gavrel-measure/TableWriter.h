#pragma once

// Ours
#include "RowWriter.h"

// Aligned columns for people. Rows are written as they come, so the columns have fixed
// widths and the source, the only column of any length, comes last.
class TableWriter : public RowWriter {
public:
    using RowWriter::RowWriter;
    void begin() override;
    void write(const MeasurementRow& row) override;
};
