#include "CsvWriter.h"

// Ours
#include "MeasurementRow.h"
#include "RowFields.h"

void CsvWriter::begin() {
    put(partColumns() ? "source,cx,cy,r,count,mean,stddev,min,max,standard,tolerance,verdict,"
                        "converted,circle,part_verdict\n"
                      : "source,cx,cy,r,count,mean,stddev,min,max,standard,tolerance,verdict,"
                        "converted\n");
}

void CsvWriter::write(const MeasurementRow& row) {
    std::string line = RowFields::csv(row.source.toStdString());
    for (const int value : {row.circle.centreX, row.circle.centreY, row.circle.radius}) {
        line += ',' + std::to_string(value);
    }
    if (row.statistics) {
        const CircleStatistics& statistics = *row.statistics;
        line += ',' + std::to_string(statistics.count) + ',' + RowFields::number(statistics.mean) +
                ',' + RowFields::number(statistics.stddev) + ',' + std::to_string(statistics.min) +
                ',' + std::to_string(statistics.max);
    } else {
        line += ",,,,,";
    }
    line += ',' + RowFields::number(row.standard) + ',' + RowFields::number(row.tolerance) + ',' +
            RowFields::verdict(row.verdict) + ',';
    if (row.statistics) {
        line += row.converted ? "true" : "false";
    }
    if (partColumns()) {
        line += ',' + RowFields::csv(row.circleName.toStdString()) + ',' +
                RowFields::verdict(row.partVerdict);
    }
    line += '\n';
    put(line);
}
