#pragma once

#include <string>

namespace DLP {

// Number <-> text for the G-code job. Numbers are always written in the
// classic "C" locale: the motion controller parses '.' decimals and no
// grouping, whatever locale the desktop runs in.
class TypeConversion
{
public:
    TypeConversion() {}
    ~TypeConversion() {}

    std::string float2str(float& value);
    std::string int2str(int& value);
    int str2int(std::string& text);
    // Wide text to and from the user's encoding (the default locale of the
    // environment, "C" when it names none); the process-wide locale is left
    // alone. Conversion stops at the first character (or byte sequence) the
    // encoding cannot carry, keeping what converted before it.
    std::string WstringToString(std::wstring text);
    std::wstring string_Wstring(std::string text);
};

void float2str(float& value, std::string& out);
void int2str(int& value, std::string& out);

} // namespace DLP
