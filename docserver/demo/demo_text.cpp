#include "demo/demo_text.h"

#include <cstdio>

namespace docserver::demo {

std::uint64_t DemoRandom::Next() {
    // splitmix64: small, fast and the same everywhere.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

namespace {

const std::vector<std::string> kSubjects = {
    "The warehouse",    "Our supplier",       "The auditor",       "The regional office",
    "Accounts payable", "The shipping clerk", "Management",        "The contractor",
    "The customer",     "Legal counsel",      "The plant manager", "The committee"};
const std::vector<std::string> kVerbs = {"received", "approved",  "rejected",   "reviewed",
                                         "shipped",  "invoiced",  "questioned", "signed",
                                         "returned", "forwarded", "scheduled",  "inspected"};
const std::vector<std::string> kObjects = {
    "the purchase order",   "forty pallets of fittings", "the revised contract",
    "the quarterly report", "the safety inspection",     "the freight invoice",
    "the budget estimate",  "the customer complaint",    "the payroll summary",
    "the lease agreement",  "the test results",          "the warranty claim"};
const std::vector<std::string> kTails = {
    "before the end of the month", "after the meeting on Tuesday", "without further comment",
    "with two corrections",        "as requested by the board",    "ahead of the deadline",
    "subject to final approval",   "for the Denver facility",      "in triplicate",
    "under the old terms",         "once payment cleared",         "pending a second review"};
const std::vector<std::string> kTitles = {
    "Memorandum",        "Invoice",         "Purchase Order", "Shipping Manifest",
    "Meeting Minutes",   "Status Report",   "Letter",         "Contract",
    "Inspection Report", "Expense Summary", "Change Request", "Credit Note"};
const std::vector<std::string> kTopics = {
    "Copper Fittings", "Freight Terms", "Plant Safety",   "Quarterly Budget", "Warranty Claims",
    "Office Lease",    "Payroll",       "Supplier Audit", "Customer Returns", "Equipment Repair"};
const std::vector<std::string> kFirst = {"Alice", "Brian", "Carmen", "David", "Elena", "Frank",
                                         "Grace", "Henry", "Irene",  "James", "Karen", "Louis"};
const std::vector<std::string> kLast = {"Archer",  "Barnes", "Castillo", "Dawson", "Ellis",
                                        "Fischer", "Gomez",  "Holloway", "Ingram", "Jensen"};
const std::vector<std::string> kDepartments = {"Purchasing", "Finance",     "Legal",
                                               "Operations", "Engineering", "Sales"};
const std::vector<std::string> kDocTypes = {"Letter", "Memo",    "Invoice", "Contract",
                                            "Report", "Minutes", "Manifest"};

}  // namespace

std::string Sentence(DemoRandom& random) {
    return random.Pick(kSubjects) + " " + random.Pick(kVerbs) + " " + random.Pick(kObjects) + " " +
           random.Pick(kTails) + ".";
}

std::string Paragraph(DemoRandom& random, int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i) {
        if (i > 0) text += ' ';
        text += Sentence(random);
    }
    return text;
}

std::string DocumentTitle(DemoRandom& random) {
    return random.Pick(kTitles) + " on " + random.Pick(kTopics);
}

std::string FolderDescription(DemoRandom& random) {
    return random.Pick(kDepartments) + " correspondence, " + random.Pick(kTopics) + " (" +
           std::to_string(random.Between(1994, 2003)) + ")";
}

std::string PersonName(DemoRandom& random) {
    return random.Pick(kFirst) + " " + random.Pick(kLast);
}

const std::vector<std::string>& DocumentTypes() {
    return kDocTypes;
}
const std::vector<std::string>& Departments() {
    return kDepartments;
}

std::string DocumentDate(DemoRandom& random) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", random.Between(1, 12), random.Between(1, 28),
                  random.Between(1994, 2003));
    return text;
}

}  // namespace docserver::demo
