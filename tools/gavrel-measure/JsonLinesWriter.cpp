#include "JsonLinesWriter.h"

// Standard library
#include <cmath>

// Ours
#include "MeasurementRow.h"
#include "RowFields.h"

namespace {

// JSON has no infinities: a standard typed beyond the double range is written as text.
std::string jsonNumber(double value) {
    const std::string text = RowFields::number(value);
    return std::isfinite(value) ? text : RowFields::json(text);
}

} // namespace

void JsonLinesWriter::write(const MeasurementRow& row) {
    std::string line = "{\"source\":" + RowFields::json(row.source.toStdString()) +
                       ",\"cx\":" + std::to_string(row.circle.centreX) +
                       ",\"cy\":" + std::to_string(row.circle.centreY) +
                       ",\"r\":" + std::to_string(row.circle.radius);
    if (row.statistics) {
        const CircleStatistics& statistics = *row.statistics;
        line += ",\"count\":" + std::to_string(statistics.count) +
                ",\"mean\":" + RowFields::number(statistics.mean) +
                ",\"stddev\":" + RowFields::number(statistics.stddev) +
                ",\"min\":" + std::to_string(statistics.min) +
                ",\"max\":" + std::to_string(statistics.max);
    } else {
        line += R"(,"count":null,"mean":null,"stddev":null,"min":null,"max":null)";
    }
    line += ",\"standard\":" + jsonNumber(row.standard) +
            ",\"tolerance\":" + jsonNumber(row.tolerance) +
            ",\"verdict\":" + RowFields::json(RowFields::verdict(row.verdict)) +
            ",\"converted\":" + (row.statistics ? (row.converted ? "true" : "false") : "null");
    if (partColumns()) {
        line += ",\"circle\":" + RowFields::json(row.circleName.toStdString()) +
                ",\"part_verdict\":" + RowFields::json(RowFields::verdict(row.partVerdict));
    }
    line += "}\n";
    put(line);
}
