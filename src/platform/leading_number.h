#pragma once
// The one reader of numbers written in texts, shared by the client and the
// document server, so both take the same value from the same text.

#include <cstdint>
#include <string>

namespace platform {

// The value of the number a text starts with (blanks before it skipped):
// "12abc" gives 12, " -3.5e1x" -35, a text without a leading number 0.
double LeadingNumber(const std::string& text);

// That value taken to the nearest integer (half to even, saturating).
std::int32_t LeadingInteger(const std::string& text);

// True when the whole text is a whole number from low to high, its value
// then in out: a command line's numbers, where "12abc" or "" is a mistake.
bool WholeNumberIn(const std::string& text, long low, long high, long& out);

}  // namespace platform
