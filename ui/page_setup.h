#pragma once

#include "controls/controls.h"

#include <span>
#include <string>
#include <vector>

// What the window sets up on its page controls at creation: how many characters each edit
// takes when typed into, and the entries of the five lists.

struct TextLimit {
    int editId;
    std::size_t chars;
};

std::span<const TextLimit> textLimits();

// The lists in the order they are filled.
std::span<const int> pageLists();
std::vector<std::u16string> listEntries(int listId);

// Limits, list entries, and the one list that starts with a choice (the rssi blank).
void setUpPageControls(Controls& controls);
