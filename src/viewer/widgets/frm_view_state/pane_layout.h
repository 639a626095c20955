#pragma once
// Which panes are open beside the page and where their splitters stand.

#include <cstdint>

class QWidget;

namespace viewer {

struct PaneLayout {
    std::int16_t Paint_in_Process = 0;
    std::int16_t TagPal_Active = 0;
    std::int16_t PrjView_Active = 0;
    QWidget* dlgPrjVw = nullptr;
    std::int16_t MarginBar_Active = 0, MarginBar2_Active = 0;
    std::int32_t MarginBarPosn = 3000, MarginBar2Posn = 0;
    std::int16_t MarginBar_Drag = 0, MarginBar2_Drag = 0;
    int TagFormWidth = 2760;
};

}  // namespace viewer
