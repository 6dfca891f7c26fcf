#pragma once

// Standard library
#include <cstdio>
#include <memory>

class QCoreApplication;
struct MeasureOptions;

// --report: the PDF report of the record window, written from a shell.
namespace ReportCommand {

// Whether the command line asks for a report, which draws text and so needs a GUI
// application (on the offscreen platform: no window, no display).
bool wanted(int argc, char** argv);
std::unique_ptr<QCoreApplication> application(int& argc, char** argv);

// Writes the report of the records between --since and --until of --station and --recipe to
// --output and prints its figures on `output`: 0 done, 2 when the database or the file
// failed.
int run(const MeasureOptions& options, std::FILE* output, std::FILE* errors);

} // namespace ReportCommand
