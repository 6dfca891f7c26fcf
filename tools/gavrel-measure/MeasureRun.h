#pragma once

// Standard library
#include <cstdio>

// Ours
#include "MeasureOptions.h"

// One run of the measurer: walks the inputs, measures them and writes the rows; returns the
// exit status (0 every row OK, 1 some row NG, 2 some row ERROR or the output failed).
class MeasureRun {
public:
    struct Streams {
        std::FILE* output = stdout;
        std::FILE* errors = stderr;
        bool outputIsTerminal = false;
        bool errorsIsTerminal = false;
    };

    MeasureRun(MeasureOptions options, Streams streams);
    int exec();

private:
    MeasureOptions options_;
    Streams streams_;
};
