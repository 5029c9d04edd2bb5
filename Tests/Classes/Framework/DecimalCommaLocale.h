#pragma once

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

// A fixture whose parameter, when true, puts the process (where such a locale is installed) and Qt into
// a locale with a decimal comma for the test, so that text that is stored is seen not to follow it.
class DecimalCommaLocale : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (!GetParam())
            return;
        m_previousC = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
            if (std::setlocale(LC_ALL, name))
                break;
        m_previousQt = QLocale();
        QLocale::setDefault(QLocale(QLocale::German));
    }
    void TearDown() override
    {
        if (!GetParam())
            return;
        std::setlocale(LC_ALL, m_previousC.c_str());
        QLocale::setDefault(m_previousQt);
    }

private:
    std::string m_previousC;
    QLocale m_previousQt;
};
