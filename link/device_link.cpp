#include "link/device_link.h"

#include <algorithm>

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

// One byte, within its own `timeoutMs` as one read of the channel would take it; false with
// how the wait ended. With a stop check the wait is read in slices of at most kStopSliceMs
// that add up to the time-out (in virtual time too: a slice that runs out costs the simulator
// exactly the slice).
bool readOne(DeviceLink& link, std::uint32_t timeoutMs, std::uint8_t& byte, WaitEnd& end) {
    std::uint32_t left = timeoutMs;
    // A wait of a second or less ends soon enough on its own, with the exchange's true result.
    bool (*const stop)() = timeoutMs > kStopCutsWaitsOverMs ? link.stop : nullptr;
    for (;;) {
        if (stop != nullptr && stop()) {
            end = WaitEnd::stopped;
            return false;
        }
        const std::uint32_t slice = stop != nullptr ? std::min(left, kStopSliceMs) : left;
        if (link.channel->readByte(slice, byte)) {
            return true;
        }
        if (link.channel->hungUp()) {
            end = WaitEnd::hangup;
            return false;
        }
        left -= slice;
        if (left == 0) {
            end = WaitEnd::timeout;
            return false;
        }
    }
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
        if (link.trace != nullptr) {
            traceFlush(*link.trace); // a process ended during the wait still leaves its lines
        }
        while (!link.frameReady) {
            std::uint8_t byte = 0;
            WaitEnd end{};
            if (!readOne(link, timeoutMs, byte, end)) {
                if (link.trace != nullptr) {
                    traceWaitEnd(*link.trace, end, code, timeoutMs);
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
        if (!written && link.channel->hungUp()) {
            traceWaitEnd(*link.trace, WaitEnd::hangup, code, timeoutMs);
        }
    }
    if (!written) {
        return false;
    }
    return awaitReply(link, code, length, payload, timeoutMs);
}
