#pragma once

#include <QLocale>

#include <clocale>
#include <locale>
#include <string>

// Installs a process-wide locale for one test and restores the previous one.
class ScopedGlobalLocale
{
public:
    ScopedGlobalLocale(const std::locale& loc, QLocale::Language qtLanguage, QLocale::Country qtCountry)
        : previous_(std::locale::global(loc)), previousQt_(QLocale())
    {
        QLocale::setDefault(QLocale(qtLanguage, qtCountry));
    }
    ~ScopedGlobalLocale()
    {
        std::locale::global(previous_);
        QLocale::setDefault(previousQt_);
    }

private:
    std::locale previous_;
    QLocale previousQt_;
};

// Number punctuation of a German desktop: decimal comma, '.' groups thousands.
struct GermanPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// English with thousands grouping: 1234567 -> 1,234,567.
struct GroupedEnglishPunct : std::numpunct<char> {
    char do_decimal_point() const override { return '.'; }
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

inline std::locale germanLocale()
{
    return std::locale(std::locale::classic(), new GermanPunct);
}

inline std::locale groupedEnglishLocale()
{
    return std::locale(std::locale::classic(), new GroupedEnglishPunct);
}
