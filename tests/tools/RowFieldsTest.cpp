// How the fields of a row are written: numbers that read back exactly, CSV and JSON quoting.

// Standard library
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

// GoogleTest
#include <gtest/gtest.h>

// Ours
#include "RowFields.h"

TEST(RowFieldsTest, NumbersReadBackAsTheSameDouble) {
    const double values[] = {128.0,
                             0.0,
                             255.0,
                             1.0 / 3.0,
                             127.83725,
                             0.1,
                             1e-300,
                             std::nextafter(108.0, 0.0),
                             20.000000000000004};
    for (const double value : values) {
        const std::string text = RowFields::number(value);
        double back = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
    EXPECT_EQ(RowFields::number(128.0), "128");
    EXPECT_EQ(RowFields::number(std::numeric_limits<double>::infinity()), "inf");
}

TEST(RowFieldsTest, CsvQuotesOnlyWhatNeedsIt) {
    const struct {
        std::string text;
        std::string field;
    } cases[] = {
        {"plain.bmp", "plain.bmp"},
        {"a,b.bmp", "\"a,b.bmp\""},
        {"say \"hi\".bmp", "\"say \"\"hi\"\".bmp\""},
        {"two\nlines.bmp", "\"two\nlines.bmp\""},
        {"cr\r.bmp", "\"cr\r.bmp\""},
        {"検査画像.bmp", "検査画像.bmp"},
        {"", ""},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(RowFields::csv(testCase.text), testCase.field) << testCase.text;
    }
}

TEST(RowFieldsTest, CsvLeadsFormulaTextWithAnApostrophe) {
    EXPECT_EQ(RowFields::csv("=cmd|calc!A1.bmp"), "'=cmd|calc!A1.bmp");
    EXPECT_EQ(RowFields::csv("+a.bmp"), "'+a.bmp");
    EXPECT_EQ(RowFields::csv("-a.bmp"), "'-a.bmp");
    EXPECT_EQ(RowFields::csv("@a,b.bmp"), "\"'@a,b.bmp\"");
    EXPECT_EQ(RowFields::csv("\ta.bmp"), "'\ta.bmp");
    EXPECT_EQ(RowFields::csv("a=b.bmp"), "a=b.bmp");
}

TEST(RowFieldsTest, JsonEscapesQuotesBackslashesAndControls) {
    const struct {
        std::string text;
        std::string value;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\images", "\"C:\\\\images\""},
        {"two\nlines\ttab", "\"two\\nlines\\ttab\""},
        {std::string("bell\x07") + "\x1f", "\"bell\\u0007\\u001f\""},
        {"検査画像", "\"検査画像\""},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(RowFields::json(testCase.text), testCase.value) << testCase.text;
    }
}
