#pragma once

// Standard library
#include <cstdio>
#include <string>

struct MeasurementRow;

// Writes rows to a stream in one output format. Text goes out as UTF-8.
class RowWriter {
public:
    explicit RowWriter(std::FILE* stream) : stream_(stream) {}
    virtual ~RowWriter() = default;
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // The columns circle and part_verdict follow the others (a recipe's run).
    void setPartColumns(bool on) { partColumns_ = on; }
    virtual void begin() {}
    virtual void write(const MeasurementRow& row) = 0;

    // False once a write to the stream has failed (a full disk, a closed pipe).
    bool ok() const { return std::ferror(stream_) == 0; }

protected:
    bool partColumns() const { return partColumns_; }
    void put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream_); }

private:
    std::FILE* stream_;
    bool partColumns_ = false;
};
