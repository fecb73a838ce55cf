#pragma once

#include "ui/page_registry.h"

#include <array>

// The texts the window's code shows, one table per language (window_texts_ru.cpp,
// window_texts_en.cpp); the dialogs and the menu have theirs in resources/Tarnwick.rc. A "{}"
// in a text stands for the value it is shown with.
struct WindowTexts {
    std::array<const wchar_t*, kPageCount> pages; // the tab labels, in tab order
    const wchar_t* openProfileTitle;
    const wchar_t* saveProfileTitle;

    // The station's list: column titles, the result of each RowState, each PassStep's name,
    // and the counts under it in BoardCounts' order.
    std::array<const wchar_t*, 8> stationColumns;
    std::array<const wchar_t*, 7> rowStates;
    std::array<const wchar_t*, 5> passSteps;
    std::array<const wchar_t*, 6> countLabels;

    // The station's file dialogs, status line and question.
    const wchar_t* overridesTitle;
    const wchar_t* auditTitle;
    const wchar_t* exportTitle;
    const wchar_t* firmwareNotDotted;
    const wchar_t* noProfile;
    const wchar_t* auditNameNotInCodePage;
    const wchar_t* waitingForTrackers;
    const wchar_t* provisioning;
    const wchar_t* auditWarning;
    const wchar_t* noPortToTake;
    const wchar_t* stoppedSummary;
    const wchar_t* doneSummary;
    const wchar_t* auditIncomplete;
    const wchar_t* stopping;
    const wchar_t* stopAndClose;
    const wchar_t* stationCaption;
    const wchar_t* csvSaved;
};

extern const WindowTexts kRussianTexts;
extern const WindowTexts kEnglishTexts;
