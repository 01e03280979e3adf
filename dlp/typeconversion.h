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
    std::string WstringToString(std::wstring text);
};

void float2str(float& value, std::string& out);
void int2str(int& value, std::string& out);

} // namespace DLP
