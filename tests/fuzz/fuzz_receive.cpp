// Feeds arbitrary received bytes through the decoder and the reply handling of transact and
// awaitReply. Crashes on any out-of-bounds access (sanitizers) and on a reply whose payload
// would reach past the bytes the frame carried.
#include "link/device_link.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct FuzzChannel final : ByteChannel {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;

    bool writeFrame(std::span<const std::uint8_t>) override { return true; }
    bool readByte(std::uint32_t, std::uint8_t& byte) override {
        if (position >= size) {
            return false;
        }
        byte = data[position++];
        return true;
    }
};

void checkReply(const DeviceLink& link, std::uint8_t length, const std::uint8_t* payload) {
    const std::uint8_t* frameEnd = link.lastFrame + link.lastFrameCount;
    if (link.lastFrameCount < kMessageHeaderSize || payload + length > frameEnd) {
        std::abort();
    }
    volatile std::uint8_t sink = 0;
    for (std::uint8_t i = 0; i < length; ++i) {
        sink = sink ^ payload[i];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    FuzzChannel channel;
    channel.data = data + 2;
    channel.size = size - 2;
    DeviceLink link;
    initDeviceLink(link, &channel);
    const auto code = static_cast<CommandCode>(data[0] << 8 | data[1]);
    bool first = true;
    while (channel.position < channel.size) {
        const std::uint8_t request[] = {0x01};
        std::uint8_t length = 1;
        const std::uint8_t* payload = request;
        const bool ok = first ? transact(link, code, length, payload, 600)
                              : awaitReply(link, code, length, payload, 600);
        first = false;
        if (ok) {
            checkReply(link, length, payload);
        }
    }
    return 0;
}
