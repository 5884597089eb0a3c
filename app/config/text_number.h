#pragma once
// Number <-> text as the settings files store them: C atoi/atof reading (leading
// blanks, sign, the numeric prefix; 0 when there is none) and "%d" / "%f"
// writing. Always with '.' as the decimal point, whatever locale the interface
// toolkit has set, so a file written on one machine reads the same on another.

#include <string>
#include <string_view>

namespace kestrova::app {

// atoi: the leading decimal number, clamped to the int range.
int atoiText(std::string_view text);
// atof: the leading decimal (or C hexadecimal / inf / nan) number; 0 when none.
double atofText(std::string_view text);
// The leading integer of a text read as 64 bits (for 32-bit values written
// signed or unsigned).
long long atollText(std::string_view text);

std::string formatInt(long long value); // "%d"
std::string formatFloat(double value);  // "%f": six decimals, 1500.000000

} // namespace kestrova::app
