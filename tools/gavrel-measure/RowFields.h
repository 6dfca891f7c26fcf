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
// A CSV text field, quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
// Text that a spreadsheet would take for a formula (starting with =, +, -, @, a tab or a
// carriage return) is led by an apostrophe so that it shows as text. Numbers are not text
// fields and are written as they are.
std::string csv(const std::string& text);
// A JSON string with its quotes.
std::string json(const std::string& text);

} // namespace RowFields
