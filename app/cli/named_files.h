#pragma once

#include <string>
#include <vector>

// A file the user names on the command line, and what the command does with it.
struct NamedFile {
    const char* role; // as the messages name it: "--trace", "the profile"
    std::string path; // empty when not given: not checked
    bool output;      // created or replaced rather than read
};

// Checked before any of them is opened: every output is a regular file or a new path (a
// link, pipe, device or folder is refused by its name alone, never opened), and no two of
// them are the same file (a link and its target are). False with a message such as
// "--trace names the same file as the profile (p.prof)", naming the earlier file's role
// first: put the outputs first.
[[nodiscard]] bool checkNamedFiles(const std::vector<NamedFile>& files, std::string& error);
