#pragma once
// What the server answered for the page on display, kept for the window's
// own use: the page's boundary level and facts, its word list's numbers and
// the OCR text the concept-search highlighting fetched.

#include <array>
#include <cstdint>
#include <string>

namespace viewer {

struct PageReplies {
    std::int32_t g_PageBndryLvl = 0;
    // The four numbers of the word list's reply.
    std::array<std::int32_t, 4> g_WordListNums{};
    std::string g_szPageInfo;
    std::int16_t g_iDocFlags = 0;
    std::string PageOcrText;
};

}  // namespace viewer
