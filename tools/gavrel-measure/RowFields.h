#pragma once

// Standard library
#include <string>

// Ours
#include "MeasurementRow.h"

// How the fields of a row are written, shared by the output formats.
namespace RowFields {

// The shortest text that reads back as exactly the same double ("128", "127.83725").
std::string number(double value);
std::string verdict(RowVerdict verdict);
// A CSV field, quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
std::string csv(const std::string& text);
// A JSON string with its quotes.
std::string json(const std::string& text);

} // namespace RowFields
