#pragma once

#include <QLocale>

#include <cstdlib>
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

// Number punctuation with thousands grouping: German (1.234.567,5) or English (1,234,567.5).
struct GroupedPunct : std::numpunct<char> {
    explicit GroupedPunct(char point) : point_(point) {}
    char do_decimal_point() const override { return point_; }
    char do_thousands_sep() const override { return point_ == ',' ? '.' : ','; }
    std::string do_grouping() const override { return "\3"; }
    char point_;
};

// The desktops a job is written on: plain, German, grouped English.
struct NumberLocale {
    const char* name;
    char point; // 0: the classic locale
    QLocale::Language language;
    QLocale::Country country;
    std::locale make() const
    {
        return point ? std::locale(std::locale::classic(), new GroupedPunct(point)) : std::locale::classic();
    }
};

inline const NumberLocale kNumberLocales[] = {
    {"classic", 0, QLocale::C, QLocale::AnyCountry},
    {"German", ',', QLocale::German, QLocale::Germany},
    {"grouped English", '.', QLocale::English, QLocale::UnitedStates},
};

// Sets LC_ALL in the environment (the user's locale that std::locale("")
// reads) for one test and restores it.
class ScopedUserLocale
{
public:
    explicit ScopedUserLocale(const char* name)
    {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        saved_ = old ? old : "";
        ::setenv("LC_ALL", name, 1);
    }
    ~ScopedUserLocale()
    {
        if (had_)
            ::setenv("LC_ALL", saved_.c_str(), 1);
        else
            ::unsetenv("LC_ALL");
    }

private:
    bool had_ = false;
    std::string saved_;
};
