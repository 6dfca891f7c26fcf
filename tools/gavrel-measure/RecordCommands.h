#pragma once

// Standard library
#include <cstdio>

struct MeasureOptions;

// --export and --verify: reading the inspection record instead of measuring.
namespace RecordCommands {

// The records between --since and --until as CSV (UTF-8 with a byte-order mark) into
// --output or `output`; 0 done, 2 when the database or the file failed.
int exportCsv(const MeasureOptions& options, std::FILE* output, std::FILE* errors);

// 0 when every station's chain is intact, 1 with the broken links on `errors`, 2 when the
// database could not be read.
int verify(const MeasureOptions& options, std::FILE* output, std::FILE* errors);

} // namespace RecordCommands
