#pragma once

#include "controls/controls.h"

#include <array>
#include <cstddef>

inline constexpr std::size_t kPageCount = 11;
inline constexpr std::size_t kPageSlots = 100;
inline constexpr int kEmptySlot = 0;

// The controls of each tab page by ID, from slot 0; the first empty slot ends a page.
struct PageRegistry {
    std::array<std::array<int, kPageSlots>, kPageCount> slots{};
};

// WM_NOTIFY's tab change, from the tab strip (control 500).
inline constexpr int kTabSelectionChange = -551; // TCN_SELCHANGE

// Empties the registry, then registers every page's controls in slot order.
void fillPageRegistry(PageRegistry& registry);

// The controls of a page up to its first empty slot.
std::size_t pageControlCount(const PageRegistry& registry, std::size_t page);

// Hides the shown page's controls and shows those of `newPage`; choosing the page already
// shown changes nothing. `currentPage` follows the switch.
void switchPage(Controls& controls, const PageRegistry& registry, std::size_t& currentPage,
                std::size_t newPage);

// WM_NOTIFY: a tab change of the tab strip switches to the tab now selected; true when the
// notification was handled.
bool onTabNotification(Controls& controls, const PageRegistry& registry, std::size_t& currentPage,
                       int controlId, int code, std::size_t selectedTab);
