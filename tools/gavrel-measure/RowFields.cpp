#include "RowFields.h"

// Standard library
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace RowFields {

std::string number(double value) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

std::string verdict(RowVerdict verdict) {
    switch (verdict) {
    case RowVerdict::OK:
        return "OK";
    case RowVerdict::NG:
        return "NG";
    case RowVerdict::Error:
        break;
    }
    return "ERROR";
}

std::string csv(const std::string& field) {
    const bool formula = !field.empty() &&
                         std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
    const std::string text = formula ? "'" + field : field;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string json(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                std::array<char, 8> escape{};
                std::snprintf(escape.data(), escape.size(), "\\u%04x", c);
                quoted += escape.data();
            } else {
                quoted += c;
            }
        }
    }
    quoted += '"';
    return quoted;
}

} // namespace RowFields
