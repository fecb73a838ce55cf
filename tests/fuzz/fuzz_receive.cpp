// Arbitrary received bytes (after the two of the command waited for) through the decoder,
// transact and awaitReply; aborts on a reply payload reaching past the bytes of its frame.
#include "link/device_link.h"

#include <cstdlib>

struct FuzzChannel final : ByteChannel {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;

    FuzzChannel(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}

    bool writeFrame(std::span<const std::uint8_t>) override { return true; }
    bool readByte(std::uint32_t, std::uint8_t& byte) override {
        return position < size && (byte = data[position++], true);
    }
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    FuzzChannel channel(data + 2, size - 2);
    DeviceLink link;
    initDeviceLink(link, &channel);
    const auto code = static_cast<CommandCode>(data[0] << 8 | data[1]);
    for (bool first = true; channel.position < channel.size; first = false) {
        const std::uint8_t request[] = {0x01};
        std::uint8_t length = 1;
        const std::uint8_t* payload = request;
        const bool ok = first ? transact(link, code, length, payload, 600)
                              : awaitReply(link, code, length, payload, 600);
        if (ok && (link.lastFrameCount < kMessageHeaderSize ||
                   payload + length > link.lastFrame + link.lastFrameCount)) {
            std::abort();
        }
    }
    return 0;
}
