#pragma once

#include <string>
#include <utility>
#include <vector>

using Args = std::vector<std::string>;

// One run of a command-line program: its exit status and everything it wrote.
struct CliRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// The whole content of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// Runs `program` with `arguments`, stdin from /dev/null, and waits for it.
CliRun runProgram(const std::string& program, const Args& arguments);

// tarnwick-cli with `arguments`; with `port` given, after "--port PORT".
CliRun cli(Args arguments, const std::string& port = "");

// /bin/sh -c `script`.
CliRun shell(const std::string& script);

// `line` split at each blank; two blanks in a row give an empty word.
Args words(const std::string& line);

// `text` with the first `from` of each edit replaced by its `to`, in turn; a `from` not found
// fails the test.
std::string edited(std::string text, const std::vector<std::pair<std::string, std::string>>& edits);
