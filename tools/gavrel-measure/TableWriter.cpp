#include "TableWriter.h"

// Standard library
#include <array>
#include <cstdio>

// Ours
#include "MeasurementRow.h"
#include "RowFields.h"

namespace {

std::string fixed(double value) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.2f", value);
    return text.data();
}

std::string line(const std::array<std::string, 13>& cells) {
    static constexpr std::array<int, 12> kWidths = {7, 4, 4, 5, 7, 8, 8, 4, 4, 9, 9, 9};
    std::string text;
    for (std::size_t column = 0; column < kWidths.size(); ++column) {
        const std::string& cell = cells[column];
        // The verdict reads best on the left, the numbers on the right.
        const std::size_t width = static_cast<std::size_t>(kWidths[column]);
        const std::string padding(cell.size() < width ? width - cell.size() : 0, ' ');
        text += column == 0 ? cell + padding : padding + cell;
        text += "  ";
    }
    text += cells.back();
    text += '\n';
    return text;
}

} // namespace

void TableWriter::begin() {
    std::string source = "source";
    if (partColumns()) {
        source = "part  circle  " + source;
    }
    put(line({"verdict", "cx", "cy", "r", "count", "mean", "stddev", "min", "max", "standard",
              "tolerance", "converted", source}));
}

void TableWriter::write(const MeasurementRow& row) {
    std::array<std::string, 13> cells;
    cells[0] = RowFields::verdict(row.verdict);
    cells[1] = std::to_string(row.circle.centreX);
    cells[2] = std::to_string(row.circle.centreY);
    cells[3] = std::to_string(row.circle.radius);
    if (row.statistics) {
        cells[4] = std::to_string(row.statistics->count);
        cells[5] = fixed(row.statistics->mean);
        cells[6] = fixed(row.statistics->stddev);
        cells[7] = std::to_string(row.statistics->min);
        cells[8] = std::to_string(row.statistics->max);
        cells[11] = row.converted ? "yes" : "no";
    } else {
        for (const std::size_t column : {4, 5, 6, 7, 8, 11}) {
            cells[column] = "-";
        }
    }
    cells[9] = RowFields::number(row.standard);
    cells[10] = RowFields::number(row.tolerance);
    cells[12] = row.source.toStdString();
    if (partColumns()) {
        // The part's verdict and the circle's name before the source, which may be long.
        std::string part = RowFields::verdict(row.partVerdict);
        part.resize(std::max<std::size_t>(part.size(), 4), ' ');
        cells[12] = part + "  " + row.circleName.toStdString() + "  " + cells[12];
    }
    put(line(cells));
}
