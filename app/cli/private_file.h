#pragma once

#include <string>
#include <string_view>

// Profiles hold passwords: they are written for the owner's eyes only. Each build links the
// implementation of its platform (private_file_posix.cpp or private_file_win32.cpp).

// The most a profile file may hold; anything longer is not a profile.
inline constexpr std::size_t kMaxProfileBytes = 1024 * 1024;

// Writes `text` to `path`, readable and writable by the owner only: to a new file in the
// same folder, flushed to the disk, then renamed over `path`. A file already at `path`
// stays as it was when anything fails. False with a message.
[[nodiscard]] bool writePrivateFile(const std::string& path, std::string_view text,
                                    std::string& error);

// Whether writePrivateFile can be expected to succeed, asked before a long run: the folder
// exists and takes new files, and `path` is not something other than a file (a device, a
// folder). False with a message.
[[nodiscard]] bool canWritePrivateFile(const std::string& path, std::string& error);

// Reads the whole file: a regular file of at most kMaxProfileBytes, refused at once when it
// is anything else (a device, a pipe, a terminal). False with a message.
[[nodiscard]] bool readWholeFile(const std::string& path, std::string& text, std::string& error);

// True when others than the owner may read the file.
bool isReadableByOthers(const std::string& path);

// What a path names, a final symbolic link taken as itself.
enum class PathKind { Absent, Regular, Folder, Link, Pipe, Device, Other };
PathKind pathKind(const std::string& path);

// Whether two paths name the same file: the same file when both exist (a link and its target
// are one), the same place once made absolute and resolved when neither does.
bool sameFile(const std::string& a, const std::string& b);
