#include "dlp/typeconversion.h"

#include <cwchar>
#include <locale>
#include <sstream>

namespace DLP {

namespace {

template <typename T>
std::string classicText(T value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

} // namespace

std::string TypeConversion::float2str(float& value)
{
    return classicText(value);
}

std::string TypeConversion::int2str(int& value)
{
    return classicText(value);
}

int TypeConversion::str2int(std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    int value = 0;
    if (!(in >> value))
        return 0;
    return value;
}

std::string TypeConversion::WstringToString(std::wstring text)
{
    // Convert in the user's encoding through a local locale object; the
    // process-wide locale stays untouched so number formatting elsewhere
    // is not affected.
    std::locale userLocale = std::locale::classic();
    try {
        userLocale = std::locale("");
    } catch (const std::runtime_error&) {
        // Unknown locale in the environment: fall back to plain "C".
    }
    using Codecvt = std::codecvt<wchar_t, char, std::mbstate_t>;
    const Codecvt& cvt = std::use_facet<Codecvt>(userLocale);

    std::string result;
    std::mbstate_t state{};
    char buffer[16];
    for (wchar_t ch : text) {
        const wchar_t* fromNext = nullptr;
        char* toNext = nullptr;
        std::codecvt_base::result r = cvt.out(state, &ch, &ch + 1, fromNext, buffer, buffer + sizeof buffer, toNext);
        if (r == std::codecvt_base::noconv) {
            result.push_back(static_cast<char>(ch));
            continue;
        }
        if (r != std::codecvt_base::ok || fromNext != &ch + 1)
            break; // not representable: keep what converted so far
        result.append(buffer, toNext);
    }
    return result;
}

void float2str(float& value, std::string& out)
{
    out = classicText(value);
}

void int2str(int& value, std::string& out)
{
    out = classicText(value);
}

} // namespace DLP
