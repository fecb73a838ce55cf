#pragma once

#include "link/device_link.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct RawRequest {
    CommandCode code = 0;
    std::vector<std::uint8_t> payload;
    std::uint32_t timeoutMs = 0;
    unsigned furtherReplies = 0; // awaitReply calls after the transact
};

// Runs the request and hands each reply payload to `onReply` as it arrives. False with a
// message naming the reply that did not come when any of them fails.
[[nodiscard]] bool
runRawExchange(DeviceLink& link, const RawRequest& request,
               const std::function<void(const std::uint8_t*, std::uint8_t)>& onReply,
               std::string& error);

// The time-out raw uses when none is given: the command's own, and for connect the one that
// follows the opening of a port, which is what a raw run has just done.
std::uint32_t defaultRawTimeout(CommandCode code);
