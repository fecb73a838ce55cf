#pragma once

#include "station/board.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

// The station's list view: one item per board row, its texts set only where they changed, the
// progress column drawn as a bar in the colour of the row's state.

inline constexpr int kStationColumns = 8;

class StationList {
  public:
    void attach(HWND list);
    // The columns' widths again, after the dialog's DPI changed.
    void fitColumns() const;
    // Brings the items to `rows`, in the board's order; fewer rows than items (a new board)
    // starts the list again.
    void show(std::vector<BoardRow> rows);
    // The answer to the list's NM_CUSTOMDRAW.
    LRESULT customDraw(const NMLVCUSTOMDRAW& draw) const;
    // The row of an item; nullptr past the end.
    const BoardRow* row(int item) const;

  private:
    HWND list_ = nullptr;
    std::vector<BoardRow> rows_;
    std::vector<std::array<std::wstring, kStationColumns>> cells_;
};

// "Настроено: N   Расхождения: N   Ошибки: N   Отказано: N   Отключено: N   В работе: N", in the
// window's language.
std::wstring stationCountsText(const BoardCounts& counts);
