#include "link/device_link.h"

namespace {

void onFrameComplete(void* context, const std::uint8_t* frame, std::uint8_t count) {
    auto& link = *static_cast<DeviceLink*>(context);
    link.frameReady = true;
    link.lastFrame = frame;
    link.lastFrameCount = count;
}

// The one place a reply is checked against what it claims: its payload length must fit in
// the bytes the frame carried, so no caller ever reads past them.
bool takeReply(const DeviceLink& link, std::uint8_t& length, const std::uint8_t*& payload) {
    const std::uint8_t* frame = link.lastFrame;
    const std::uint8_t claimed = frame[3];
    if (claimed > link.lastFrameCount - kMessageHeaderSize) {
        return false;
    }
    length = claimed;
    payload = frame + kMessageHeaderSize;
    return true;
}

} // namespace

void initDeviceLink(DeviceLink& link, ByteChannel* channel) {
    link.channel = channel;
    link.frameReady = false;
    link.lastFrame = nullptr;
    link.lastFrameCount = 0;
    link.droppedFrames = 0;
    resetDecoder(link.decoder, &onFrameComplete, &link);
}

bool awaitReply(DeviceLink& link, CommandCode code, std::uint8_t& length,
                const std::uint8_t*& payload, std::uint32_t timeoutMs) {
    if (link.channel == nullptr) {
        return false;
    }
    for (;;) {
        link.frameReady = false;
        while (!link.frameReady) {
            std::uint8_t byte = 0;
            if (!link.channel->readByte(timeoutMs, byte)) {
                if (link.trace != nullptr) {
                    traceTimeout(*link.trace, code, timeoutMs);
                }
                return false;
            }
            if (link.trace != nullptr) {
                traceByte(*link.trace, byte);
            }
            feed(link.decoder, byte);
        }
        const auto echoed = static_cast<CommandCode>((link.lastFrame[0] << 8) | link.lastFrame[1]);
        if (echoed == code) {
            const bool fits = takeReply(link, length, payload);
            if (link.trace != nullptr) {
                traceReceived(*link.trace, link.lastFrame, link.lastFrameCount,
                              fits ? "" : "short");
            }
            return fits;
        }
        if (link.trace != nullptr) {
            traceReceived(*link.trace, link.lastFrame, link.lastFrameCount, "dropped");
        }
        ++link.droppedFrames;
    }
}

bool transact(DeviceLink& link, CommandCode code, std::uint8_t& length,
              const std::uint8_t*& payload, std::uint32_t timeoutMs) {
    if (link.channel == nullptr) {
        return false;
    }
    const auto frame = encodeRequest(link.codec, code, length, payload);
    if (frame.empty()) {
        return false;
    }
    link.channel->discardInput();
    const bool written = link.channel->writeFrame(frame);
    if (link.trace != nullptr) {
        traceSent(*link.trace, frame, link.codec.message, written);
    }
    if (!written) {
        return false;
    }
    return awaitReply(link, code, length, payload, timeoutMs);
}
