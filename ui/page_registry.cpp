#include "ui/page_registry.h"

#include "resources/control_ids.h"

#include <span>

namespace {

// Consecutive control IDs, both ends included.
struct IdRun {
    int first;
    int last;
};

struct PageLayout {
    std::span<const IdRun> runs;
    std::size_t controlCount;
};

constexpr IdRun single(int id) {
    return {id, id};
}

// Every ID of a run is a control of its page, the pages in tab order. Page 1 registers each label before its field
// and buttons, row by row; page 8 its shared read button last.
constexpr IdRun kGeneral[] = {{600, 602}};
constexpr IdRun kVoice[] = {single(1002), single(1004), {1006, 1007}, single(1003),
                            single(1005), {1008, 1009}, single(1010), single(1012),
                            {1014, 1015}, single(1011), single(1013), {1016, 1030}};
constexpr IdRun kData[] = {{1100, 1139}};
constexpr IdRun kLora[] = {{1200, 1206}, {1208, 1215}, {1223, 1226}}; // no 1207, 1216 to 1222
constexpr IdRun kWifi[] = {{1300, 1310}};
constexpr IdRun kXnb[] = {{1400, 1405}};
constexpr IdRun kBle[] = {{1500, 1550}};
constexpr IdRun kInternalSensors[] = {{1600, 1610}};
constexpr IdRun kExternalSensors[] = {{1701, 1716}, single(1700)};
constexpr IdRun kGnss[] = {{1900, 1902}};
// The XNB log flags came later and took the IDs after the buttons; they sit after WiFi.
constexpr IdRun kService[] = {{2000, 2013}, {2029, 2032}, {2014, 2028}};

constexpr std::size_t countIds(std::span<const IdRun> runs) {
    std::size_t count = 0;
    for (const IdRun& run : runs) {
        count += static_cast<std::size_t>(run.last - run.first + 1);
    }
    return count;
}

constexpr PageLayout page(std::span<const IdRun> runs) {
    return {runs, countIds(runs)};
}

constexpr std::array<PageLayout, kPageCount> kPages = {
    page(kGeneral),
    page(kVoice),
    page(kData),
    page(kLora),
    page(kWifi),
    page(kXnb),
    page(kBle),
    page(kInternalSensors),
    page(kExternalSensors),
    page(kGnss),
    page(kService),
};

constexpr bool pagesFitTheirSlots() {
    for (const PageLayout& layout : kPages) {
        if (layout.controlCount > kPageSlots) {
            return false;
        }
    }
    return true;
}
static_assert(pagesFitTheirSlots());
static_assert(kPages[6].controlCount == 51, "the largest page");

void showPage(Controls& controls, const PageRegistry& registry, std::size_t page, bool visible) {
    for (int id : registry.slots[page]) {
        if (id == kEmptySlot) {
            break;
        }
        controls.setControlVisible(id, visible);
    }
}

} // namespace

void fillPageRegistry(PageRegistry& registry) {
    registry = PageRegistry{};
    for (std::size_t page = 0; page < kPages.size(); ++page) {
        std::size_t slot = 0;
        for (const IdRun& run : kPages[page].runs) {
            for (int id = run.first; id <= run.last; ++id) {
                registry.slots[page][slot++] = id;
            }
        }
    }
}

std::size_t pageControlCount(const PageRegistry& registry, std::size_t page) {
    std::size_t count = 0;
    while (count < kPageSlots && registry.slots[page][count] != kEmptySlot) {
        ++count;
    }
    return count;
}

void switchPage(Controls& controls, const PageRegistry& registry, std::size_t& currentPage,
                std::size_t newPage) {
    if (newPage == currentPage || newPage >= kPageCount) {
        return;
    }
    showPage(controls, registry, currentPage, false);
    showPage(controls, registry, newPage, true);
    currentPage = newPage;
}

bool onTabNotification(Controls& controls, const PageRegistry& registry, std::size_t& currentPage,
                       int controlId, int code, std::size_t selectedTab) {
    if (controlId != IDC_TAB_STRIP || code != kTabSelectionChange) {
        return false;
    }
    switchPage(controls, registry, currentPage, selectedTab);
    return true;
}
