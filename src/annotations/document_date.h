#pragma once
// The document date a reviewer types for a page: YYYYMMDD or nothing.

#include <string>

namespace annotations {

// True for "" (clears the date) and for exactly eight ASCII digits whose
// year is 0 or lies from 1800 to the year after currentYear.
bool IsAcceptableDocumentDate(const std::string& date, int currentYear);

}  // namespace annotations
