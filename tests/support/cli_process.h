#pragma once

#include <string>
#include <utility>
#include <vector>

// One run of a command-line program: its exit status and everything it wrote.
struct CliRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// The whole content of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// Runs `program` with `arguments`, stdin from /dev/null, and waits for it.
CliRun runProgram(const std::string& program, const std::vector<std::string>& arguments);

// `text` with the first `from` of each edit replaced by its `to`, in turn; a `from` not found
// fails the test.
std::string edited(std::string text, const std::vector<std::pair<std::string, std::string>>& edits);
