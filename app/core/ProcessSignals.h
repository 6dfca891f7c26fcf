#pragma once

// Signal dispositions that every program of the project sets once at start.
namespace ProcessSignals {

// A write beyond the file-size limit (ulimit -f) then fails like a full disk, so a save
// reports its error and keeps the old file, instead of the signal ending the program.
void ignoreFileSizeLimit();

} // namespace ProcessSignals
