#pragma once
// Deterministic text for the demo system: the same seed gives the same words
// on every machine (no standard distributions, whose results may differ).

#include <cstdint>
#include <string>
#include <vector>

namespace docserver::demo {

class DemoRandom {
  public:
    explicit DemoRandom(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t Next();
    // 0 .. n-1; n must be above 0.
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
    }

  private:
    std::uint64_t state_;
};

std::string Sentence(DemoRandom& random);
std::string Paragraph(DemoRandom& random, int sentences);
std::string DocumentTitle(DemoRandom& random);
std::string FolderDescription(DemoRandom& random);
std::string PersonName(DemoRandom& random);
const std::vector<std::string>& DocumentTypes();
const std::vector<std::string>& Departments();
// "MM/DD/YYYY" between 1994 and 2003.
std::string DocumentDate(DemoRandom& random);

}  // namespace docserver::demo
