#pragma once
// Quick scroll: whether its window is open, what it walks and at what pace.

#include <QPointer>

#include <cstdint>

namespace viewer {

class frmQScroll;

struct QuickScroll {
    // 1 while the window is open (elsewhere: QuickScrollOpen).
    std::int16_t QuickScroll_Active = 0;
    // 1 the query list, 0 the whole project; reset when the window closes
    // (elsewhere: QuickScrollListMode).
    std::int16_t QuickScrollMode = 0;
    // Milliseconds between pages, kept while the program runs; 0 not yet set.
    std::int32_t QuickScrollInterval = 0;
    // The open window; null once it has gone.
    QPointer<frmQScroll> form;
};

}  // namespace viewer
