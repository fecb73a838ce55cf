#pragma once

#include <string>
#include <string_view>

// Profiles hold passwords: they are written for the owner's eyes only. Each build links the
// implementation of its platform (private_file_posix.cpp or private_file_win32.cpp).

// Writes `text` to `path`, created or truncated, readable and writable by the owner only,
// also when the file was already there. False with a message.
[[nodiscard]] bool writePrivateFile(const std::string& path, std::string_view text,
                                    std::string& error);

// Reads the whole file; false with a message.
[[nodiscard]] bool readWholeFile(const std::string& path, std::string& text, std::string& error);

// True when others than the owner may read the file.
bool isReadableByOthers(const std::string& path);
