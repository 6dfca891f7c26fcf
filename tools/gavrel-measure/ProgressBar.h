#pragma once

// Standard library
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

// A one-line bar on a terminal: inputs done, of how many once that is known, and the time
// still to go.
class ProgressBar {
public:
    explicit ProgressBar(std::FILE* terminal);

    // May be called from another thread once the inputs have been counted.
    void setTotal(std::int64_t total) { total_.store(total); }
    void advance();
    // Before anything else is written to the terminal.
    void clear();
    void finish();

private:
    void draw();

    std::FILE* terminal_;
    std::atomic<std::int64_t> total_{-1};
    std::int64_t done_ = 0;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
};
