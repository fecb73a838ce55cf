#pragma once

#include "settings/setting_context.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The window's profile commands: the page fields to and from a profile file, and the
// read-back of the device against the page fields. The file itself is the front end's: these
// take what it reads and hand it what to write, and log one line each.

// The longest file "Открыть" takes, as the command line's load-all.
inline constexpr std::size_t kMaxPageProfileBytes = 1024 * 1024;

// Writes `text` to the chosen file; false with why.
using ProfileSink = std::function<bool(std::string_view text, std::string& error)>;
// Reads the chosen file into `text`; false with why.
using ProfileSource = std::function<bool(std::string& text, std::string& error)>;

// "Файл" -> "Сохранить как...": the page fields as read-all writes them, handed to `write`.
// Logs "Saving profile...   success." or "...   error (why).".
bool savePageProfile(Controls& controls, const ProfileSink& write);

// "Файл" -> "Открыть": the whole file is read and checked before any field changes, so a
// refused file leaves the pages as they were. Logs "Opening profile...   success." or
// "...   error (why).", the line number of a faulty line among why.
bool openPageProfile(Controls& controls, const ProfileSource& read);

// "Конфигурирование" -> "Проверить настройки": every setting load-all writes, read back and
// compared with the page fields, which stay as they are. The device buttons are disabled
// meanwhile. Logs each read, one line per field that differs, what cannot be read back, and
// the summary.
void verifyPageSettings(SettingContext& context);
