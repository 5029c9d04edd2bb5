#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NumberText.h"

#include <QLocale>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

// Puts the process (where installed) and Qt into a locale with a decimal comma for one test.
class DecimalCommaLocale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousC = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
            if (std::setlocale(LC_ALL, name)) {
                m_processLocaleChanged = true;
                break;
            }
        }
        m_previousQt = QLocale();
        QLocale::setDefault(QLocale(QLocale::German));
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, m_previousC.c_str());
        QLocale::setDefault(m_previousQt);
    }
    bool m_processLocaleChanged = false;

private:
    std::string m_previousC;
    QLocale m_previousQt;
};

} // namespace

TEST_F(DecimalCommaLocale, FormatsWithDecimalPoint)
{
    ASSERT_EQ(QLocale().toString(1.5), QStringLiteral("1,5")); // the Qt side really uses a comma
    if (m_processLocaleChanged) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
        EXPECT_STREQ(buffer, "1,5") << "the process locale should use a comma";
    }

    EXPECT_EQ(pf::formatNumber(1.5), QStringLiteral("1.500000"));
    EXPECT_EQ(pf::formatNumber(1234567.25, "%.2f"), QStringLiteral("1234567.25"));
    EXPECT_EQ(pf::formatNumber(0.000125, "%g"), QStringLiteral("0.000125"));
    EXPECT_EQ(pf::formatNumber(2.5, "%e"), QStringLiteral("2.500000e+00"));
    EXPECT_EQ(pf::formatNumber(-3.14159, "%+8.3f"), QStringLiteral("  -3.142"));
    EXPECT_EQ(pf::formatNumber(0.5, "%05.1f%%"), QStringLiteral("000.5%"));
    EXPECT_EQ(pf::formatNumber(12.0, "radius %.0f px"), QStringLiteral("radius 12 px"));
    EXPECT_EQ(pf::formatNumber(0.25, "%lf"), QStringLiteral("0.250000"));
    EXPECT_EQ(pf::formatShortest(0.1), QStringLiteral("0.1"));

    EXPECT_EQ(pf::parseDouble(QStringLiteral("1.5")), 1.5);
    EXPECT_EQ(pf::parseDouble(QStringLiteral("1,5")), std::nullopt);
}

TEST(NumberText, FormatsIntegersWithTheirOwnWidth)
{
    EXPECT_EQ(pf::formatNumber(42), QStringLiteral("42"));
    EXPECT_EQ(pf::formatNumber(qint64(-9000000000)), QStringLiteral("-9000000000"));
    EXPECT_EQ(pf::formatNumber(std::numeric_limits<quint64>::max()), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(pf::formatNumber(1234567, "%d"), QStringLiteral("1234567")); // no grouping
    EXPECT_EQ(pf::formatNumber(255, "%04X"), QStringLiteral("00FF"));
    EXPECT_EQ(pf::formatNumber(7, "%3ld items"), QStringLiteral("  7 items"));
    EXPECT_EQ(pf::formatInteger(-1, "%x"), QStringLiteral("ffffffffffffffff"));
}

TEST(NumberText, RefusesFormatsThatWouldReadAnotherArgument)
{
    pf::LogCapture capture;
    EXPECT_EQ(pf::formatNumber(1.5, "%s"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "%d"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "%*.f"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "%f and %f"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "%n"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "no conversion"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, "%.99999f"), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(1.5, nullptr), QStringLiteral("1.5"));
    EXPECT_EQ(pf::formatNumber(3, "%f"), QStringLiteral("3"));
    EXPECT_EQ(capture.lines().size(), 9);
    EXPECT_TRUE(capture.contains(QStringLiteral("Warning: Number format \"%s\"")));
}

TEST(NumberText, ShortestTextReadsBackExactly)
{
    for (double value : {0.1, 1.0 / 3, -2.5e-300, 1e300, 123456789.125, 5e-324, -0.0}) {
        const QString text = pf::formatShortest(value);
        const std::optional<double> back = pf::parseDouble(text);
        ASSERT_TRUE(back) << text.toStdString();
        EXPECT_EQ(*back, value) << text.toStdString();
        EXPECT_EQ(std::signbit(*back), std::signbit(value));
    }
    EXPECT_EQ(pf::formatShortest(2), QStringLiteral("2"));
    EXPECT_EQ(pf::formatShortest(std::numeric_limits<double>::infinity()), QStringLiteral("inf"));
}

TEST(NumberText, ParsesWholeTextOnly)
{
    EXPECT_EQ(pf::parseDouble(QStringLiteral(" -2e-3\n")), -0.002);
    EXPECT_EQ(pf::parseDouble(QStringLiteral("+7")), 7.0);
    EXPECT_EQ(pf::parseDouble(QStringLiteral(".5")), 0.5);
    EXPECT_TRUE(std::isinf(*pf::parseDouble(QStringLiteral("-inf"))));
    EXPECT_TRUE(std::isnan(*pf::parseDouble(QStringLiteral("nan"))));
    for (const char* bad :
         {"", "  ", "1.5x", "1.5 2", "1,5", "1.000,5", "+-1", "++1", "0x10", "1e999", "-", "e5", "1.5f"})
        EXPECT_EQ(pf::parseDouble(QString::fromLatin1(bad)), std::nullopt) << bad;
    EXPECT_EQ(pf::parseDouble(QStringLiteral("\u0661.5")), std::nullopt); // Arabic-Indic one

    EXPECT_EQ(pf::parseInteger(QStringLiteral("-9223372036854775808")), std::numeric_limits<qint64>::min());
    EXPECT_EQ(pf::parseInteger(QStringLiteral(" +42 ")), 42);
    for (const char* bad : {"9223372036854775808", "1.0", "1e3", "0x1F", "12abc", "", "+", "1 000"})
        EXPECT_EQ(pf::parseInteger(QString::fromLatin1(bad)), std::nullopt) << bad;
}
