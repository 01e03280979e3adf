#include "dlp/typeconversion.h"

#include <cwchar>
#include <locale>
#include <sstream>
#include <stdexcept>

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

using Codecvt = std::codecvt<wchar_t, char, std::mbstate_t>;

// The user's encoding through a locale object of its own; the process-wide
// locale stays untouched so number formatting elsewhere is not affected.
std::locale userLocale()
{
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic(); // unknown locale in the environment: plain "C"
    }
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
    const std::locale user = userLocale();
    const Codecvt& cvt = std::use_facet<Codecvt>(user);

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

std::wstring TypeConversion::string_Wstring(std::string text)
{
    const std::locale user = userLocale();
    const Codecvt& cvt = std::use_facet<Codecvt>(user);

    std::wstring result;
    std::mbstate_t state{};
    const char* from = text.data();
    const char* const end = from + text.size();
    wchar_t buffer[64];
    while (from < end) {
        const char* fromNext = from;
        wchar_t* toNext = buffer;
        const std::codecvt_base::result r = cvt.in(state, from, end, fromNext, buffer, buffer + 64, toNext);
        if (r == std::codecvt_base::noconv) {
            for (; from < end; ++from)
                result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*from)));
            break;
        }
        result.append(buffer, toNext);
        // An invalid or cut-off sequence, or no progress: keep what converted.
        if (r == std::codecvt_base::error || fromNext == from)
            break;
        from = fromNext;
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
