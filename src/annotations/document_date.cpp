#include "annotations/document_date.h"

namespace annotations {

bool IsAcceptableDocumentDate(const std::string& date, int currentYear) {
    if (date.empty()) return true;
    if (date.size() != 8) return false;
    for (char c : date) {
        if (c < '0' || c > '9') return false;
    }
    const int year = std::stoi(date.substr(0, 4));
    return year == 0 || (year >= 1800 && year <= currentYear + 1);
}

}  // namespace annotations
