#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// The operations report their outcome only in the log: one line each, an action text and a
// result text. These read the outcome back from the lines the run wrote.

// The log's lines without their CR LF; text after the last CR LF is a line too.
std::vector<std::string_view> logLines(std::string_view log);

// True when the line is an action that ended in "success.".
bool lineSucceeded(std::string_view line);

// True when the log is exactly `operations` lines and every one ended in "success.". An
// operation that broke its line with a note of its own (a sensor record out of range) counts
// as failed.
bool allSucceeded(std::string_view log, std::size_t operations);
