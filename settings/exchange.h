#pragma once

#include "settings/setting_context.h"

#include <string_view>

#include <cstdint>
#include <vector>

// The pieces every operation's exchange is made of.

struct Reply {
    std::uint8_t length = 0;
    const std::uint8_t* payload = nullptr;
};

// `transact` with the command's own time-out from the command index.
bool exchange(SettingContext& context, CommandCode code, const std::vector<std::uint8_t>& request,
              Reply& reply);

// True when the code page holds every character of `text`: one it cannot hold would go to
// the device as '?'.
bool fitsCodePage(const WireCodePage& codePage, std::u16string_view text);

// Ends the log line; true when it ended in success.
bool finish(SettingContext& context, const char* resultText);

// A plain set's reply: exactly the status byte, and it is 0.
const char* plainSetResult(const Reply& reply);

// Sends a plain set and ends its line with the outcome.
bool sendPlainSet(SettingContext& context, CommandCode code,
                  const std::vector<std::uint8_t>& request);

// A get reply of full length `fullLength` that may also be the status byte alone: nullptr
// when it carries an accepted value, otherwise the result text.
const char* fixedGetProblem(const Reply& reply, std::uint8_t fullLength);
