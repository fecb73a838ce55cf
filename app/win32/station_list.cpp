#include "app/win32/station_list.h"

#include "app/win32/wide_text.h"
#include "app/win32/window_language.h"

#include <algorithm>
#include <tuple>

namespace {

enum Column { kPort, kImei, kDeviceId, kStep, kProgress, kElapsed, kResult, kError };

// In dialog units, so that the columns grow with the dialog's font and the monitor's DPI.
constexpr int kColumnWidths[kStationColumns] = {80, 66, 60, 72, 50, 36, 56, 170};

// The colour of each state's bar, in RowState's order; its word is the language's.
struct StateLook {
    RowState state;
    COLORREF colour;
};

constexpr StateLook kStates[] = {
    {RowState::InProgress, RGB(0x2F, 0x6F, 0xD0)},  {RowState::Provisioned, RGB(0x2E, 0x9E, 0x44)},
    {RowState::Differs, RGB(0xF0, 0xA8, 0x00)},     {RowState::Failed, RGB(0xD9, 0x30, 0x25)},
    {RowState::Refused, RGB(0x80, 0x3C, 0xB0)},     {RowState::Unplugged, RGB(0xA8, 0xA8, 0xA8)},
    {RowState::Interrupted, RGB(0x50, 0x50, 0x50)},
};

constexpr bool inStateOrder() {
    for (std::size_t index = 0; index < std::size(kStates); ++index) {
        if (static_cast<std::size_t>(kStates[index].state) != index) {
            return false;
        }
    }
    return true;
}
static_assert(inStateOrder(), "kStates is indexed by RowState");

static_assert(kPassSteps == std::tuple_size_v<decltype(WindowTexts::passSteps)>);
static_assert(std::size(kStates) == std::tuple_size_v<decltype(WindowTexts::rowStates)>);
static_assert(kStationColumns == std::tuple_size_v<decltype(WindowTexts::stationColumns)>);

// Dialog units of the list's dialog in pixels.
SIZE pixelsOf(HWND list, int x, int y) {
    RECT units{0, 0, x, y};
    MapDialogRect(GetParent(list), &units);
    return {units.right, units.bottom};
}

const StateLook& lookOf(RowState state) {
    return kStates[static_cast<int>(state)];
}

// A finished row's bar is full: its colour tells how it ended.
int percentOf(const BoardRow& row) {
    return row.state == RowState::InProgress ? row.step * 100 / kPassSteps : 100;
}

std::wstring stepText(const BoardRow& row) {
    if (row.step <= 0) {
        return L"";
    }
    return std::to_wstring(row.step) + L"/" + std::to_wstring(kPassSteps) + L" " +
           windowTexts().passSteps[static_cast<std::size_t>(row.stepName)];
}

// Seconds with one decimal, rounded: "12.3".
std::wstring secondsText(std::chrono::milliseconds elapsed) {
    const long long tenths = (elapsed.count() + 50) / 100;
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

std::array<std::wstring, kStationColumns> rowTexts(const BoardRow& row) {
    std::string port = row.port;
    if (!row.usbSerial.empty()) {
        port += " (" + row.usbSerial + ")";
    }
    return {
        wideFromUtf8(port),
        wideFromUtf8(row.imei),
        wideFromUtf8(row.deviceId),
        stepText(row),
        std::to_wstring(percentOf(row)) + L"%", // read by tests; the bar covers it
        secondsText(row.elapsed),
        windowTexts().rowStates[static_cast<std::size_t>(row.state)],
        wideFromUtf8(row.error),
    };
}

void setCell(HWND list, std::size_t item, int column, std::wstring& text, bool insert) {
    LVITEMW cell{};
    cell.mask = LVIF_TEXT;
    cell.iItem = static_cast<int>(item);
    cell.iSubItem = column;
    cell.pszText = text.data();
    SendMessageW(list, insert ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, insert ? 0 : item,
                 reinterpret_cast<LPARAM>(&cell));
}

void drawBar(HWND list, HDC context, int item, const BoardRow& row) {
    RECT cell{};
    cell.top = kProgress;
    cell.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell));
    FillRect(context, &cell, GetSysColorBrush(COLOR_WINDOW));
    const SIZE margin = pixelsOf(list, 2, 2);
    InflateRect(&cell, -margin.cx, -margin.cy);
    // A frame line as thick as the DPI makes a pixel of 96 DPI.
    const int line = std::max<int>(1, margin.cy / 3);
    const HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
    for (int drawn = 0; drawn < line; ++drawn) {
        FrameRect(context, &cell, shadow);
        InflateRect(&cell, -1, -1);
    }
    cell.right = cell.left + (cell.right - cell.left) * percentOf(row) / 100;
    SetDCBrushColor(context, lookOf(row.state).colour);
    FillRect(context, &cell, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

} // namespace

void StationList::attach(HWND list) {
    list_ = list;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int index = 0; index < kStationColumns; ++index) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(windowTexts().stationColumns[index]);
        column.cx = pixelsOf(list, kColumnWidths[index], 0).cx;
        column.iSubItem = index;
        SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    }
}

void StationList::fitColumns() const {
    for (int index = 0; index < kStationColumns; ++index) {
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, index, pixelsOf(list_, kColumnWidths[index], 0).cx);
    }
}

void StationList::show(std::vector<BoardRow> rows) {
    if (rows.size() < cells_.size()) {
        SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
        cells_.clear();
    }
    rows_ = std::move(rows);
    for (std::size_t item = 0; item < rows_.size(); ++item) {
        std::array<std::wstring, kStationColumns> texts = rowTexts(rows_[item]);
        if (item == cells_.size()) {
            setCell(list_, item, 0, texts[0], true);
            cells_.emplace_back();
            cells_.back()[0] = texts[0];
        }
        bool changed = false;
        for (int column = 0; column < kStationColumns; ++column) {
            if (texts[column] != cells_[item][column]) {
                setCell(list_, item, column, texts[column], false);
                cells_[item][column] = std::move(texts[column]);
                changed = true;
            }
        }
        if (changed) {
            // The bar's colour may change while its text does not.
            SendMessageW(list_, LVM_REDRAWITEMS, item, item);
        }
    }
}

LRESULT StationList::customDraw(const NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int item = static_cast<int>(draw.nmcd.dwItemSpec);
        const BoardRow* drawn = row(item);
        if (draw.iSubItem != kProgress || drawn == nullptr) {
            return CDRF_DODEFAULT;
        }
        drawBar(list_, draw.nmcd.hdc, item, *drawn);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

const BoardRow* StationList::row(int item) const {
    if (item < 0 || static_cast<std::size_t>(item) >= rows_.size()) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(item)];
}

std::wstring stationCountsText(const BoardCounts& counts) {
    const std::array<const wchar_t*, 6>& labels = windowTexts().countLabels;
    const std::pair<const wchar_t*, std::size_t> items[] = {
        {labels[0], counts.provisioned}, {labels[1], counts.differs},
        {labels[2], counts.failed},      {labels[3], counts.refused},
        {labels[4], counts.unplugged},   {labels[5], counts.inProgress},
    };
    std::wstring text;
    for (const auto& [label, count] : items) {
        text += (text.empty() ? L"" : L"   ") + std::wstring(label) + std::to_wstring(count);
    }
    return text;
}
