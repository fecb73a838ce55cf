#include "link/frame_decoder.h"

namespace {

void deliver(FrameDecoder& decoder) {
    if (decoder.handler != nullptr) {
        decoder.handler(decoder.handlerContext, decoder.replyBuffer, decoder.storedCount);
    }
    decoder.synced = false;
}

// A length byte that cannot hold the 4 header bytes, or that the reply buffer cannot hold,
// belongs to no valid frame: drop it and wait for the next delimiter.
bool isUsableLength(std::uint8_t length) {
    return length >= 4 && length <= kReplyBufferSize;
}

void endOfBlockTest(FrameDecoder& decoder) {
    --decoder.blockRemaining;
    if (decoder.blockRemaining > 0) {
        return;
    }
    if (decoder.expectedLength != 0 && decoder.expectedLength == decoder.storedCount) {
        deliver(decoder);
        return;
    }
    // The block stands for a zero. Before the length byte it is discarded anyway (storing
    // restarts at 0), so it is only kept once a length is known.
    if (decoder.expectedLength != 0) {
        decoder.replyBuffer[decoder.storedCount++] = 0x00;
    }
}

} // namespace

void resetDecoder(FrameDecoder& decoder, FrameHandler handler, void* context) {
    decoder = FrameDecoder{};
    decoder.handler = handler;
    decoder.handlerContext = context;
}

void feed(FrameDecoder& decoder, std::uint8_t byte) {
    if (byte == 0x00) {
        decoder.synced = true;
        decoder.expectedLength = 0;
        decoder.blockRemaining = 0;
        return;
    }
    if (!decoder.synced) {
        return;
    }
    if (decoder.blockRemaining == 0) {
        decoder.blockRemaining = byte;
    } else if (decoder.expectedLength == 0) {
        if (!isUsableLength(byte)) {
            decoder.synced = false;
            return;
        }
        decoder.expectedLength = byte;
        decoder.storedCount = 0;
    } else if (decoder.storedCount == decoder.expectedLength) {
        deliver(decoder); // surplus data byte: it completes the frame and is lost
        return;
    } else {
        decoder.replyBuffer[decoder.storedCount++] = byte;
    }
    endOfBlockTest(decoder);
}
