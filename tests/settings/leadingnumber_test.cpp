#include "settings/leadingnumber.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>

TEST(LeadingNumber, TakesTheNumberAtTheStartAndIgnoresTheRest)
{
    const std::pair<const char *, double> cases[] = {
        {"12", 12},      {"12abc", 12},    {"  -5", -5},   {"+7 days", 7}, {"11.0.2100.60", 11},
        {".5", 0.5},     {"1e3", 1000},    {"12E", 12},    {"12e+", 12},   {"2.5E-1x", 0.25},
        {"", 0},         {"abc", 0},       {"-", 0},       {".", 0},       {"#0", 0},
        {"\t\r\n3", 3},  {"0042", 42},     {"-1", -1},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf8(text)), expected) << text;
}

TEST(LeadingNumber, Int32DropsTheFractionAndClampsInsteadOfOverflowing)
{
    EXPECT_EQ(leadingInt32(u"3.9"), 3);
    EXPECT_EQ(leadingInt32(u"-3.9"), -3);
    EXPECT_EQ(leadingInt32(u"1234 rest"), 1234);
    EXPECT_EQ(leadingInt32(u"99999999999"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(leadingInt32(u"-99999999999"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(leadingInt32(u"1e999"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(leadingInt32(u"not a number"), 0);
}
