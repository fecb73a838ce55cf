#include "sim/device_simulator.h"

#include "link/frame_codec.h"
#include "sim/device_model.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kMicrosecondsPerMs = 1000;

} // namespace

std::uint32_t byteTimeUs(std::uint32_t baud) {
    if (baud == 0) {
        return 0;
    }
    constexpr std::uint64_t kBitsPerByteTimesMicroseconds = 10ULL * 1000 * 1000;
    return static_cast<std::uint32_t>((kBitsPerByteTimesMicroseconds + baud / 2) / baud);
}

std::vector<std::uint8_t> encodeReplyFrame(CommandCode code, std::span<const std::uint8_t> payload,
                                           std::optional<std::uint8_t> claimedLength) {
    std::vector<std::uint8_t> message;
    message.reserve(payload.size() + 4);
    message.push_back(static_cast<std::uint8_t>(code >> 8));
    message.push_back(static_cast<std::uint8_t>(code & 0xFF));
    message.push_back(0x00);
    message.push_back(claimedLength.value_or(static_cast<std::uint8_t>(payload.size())));
    message.insert(message.end(), payload.begin(), payload.end());

    std::vector<std::uint8_t> frame;
    frame.reserve(message.size() + 3);
    frame.push_back(0x00);
    std::size_t codeSlot = frame.size();
    frame.push_back(0x00);
    frame.push_back(static_cast<std::uint8_t>(message.size())); // N, never zero here
    std::uint8_t runningCode = 2;
    for (std::uint8_t byte : message) {
        if (byte == 0x00) {
            frame[codeSlot] = runningCode;
            codeSlot = frame.size();
            frame.push_back(0x00);
            runningCode = 1;
        } else {
            frame.push_back(byte);
            ++runningCode;
        }
    }
    frame[codeSlot] = runningCode;
    return frame;
}

struct DeviceSimulator::Impl {
    // The fault for this request, if one is scripted: queued ones first, then a lasting one.
    static std::optional<SimFault> takeFault(DeviceSimulator& device, CommandCode code) {
        const auto queued = device.faults_.find(code);
        if (queued != device.faults_.end() && !queued->second.empty()) {
            SimFault fault = queued->second.front();
            queued->second.pop_front();
            return fault;
        }
        const auto lasting = device.lastingFaults_.find(code);
        if (lasting != device.lastingFaults_.end()) {
            return lasting->second;
        }
        return std::nullopt;
    }

    static void applyFault(const SimFault& fault, std::vector<ModelReply>& replies) {
        if (fault.payload || fault.cutAfter) {
            replies.resize(1);
        }
        ModelReply& first = replies.front();
        if (fault.payload) {
            first.payload = *fault.payload;
        }
        if (fault.status && first.statusOffset >= 0 &&
            static_cast<std::size_t>(first.statusOffset) < first.payload.size()) {
            first.payload[static_cast<std::size_t>(first.statusOffset)] = *fault.status;
        }
        if (fault.replyCode) {
            first.code = *fault.replyCode;
        }
    }
};

DeviceSimulator::DeviceSimulator(SimulatorOptions options) : options_(options) {
    resetDecoder(decoder_, &DeviceSimulator::onRequest, this);
    loadDefaults(values_);
}

void DeviceSimulator::receive(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && !hungUp_; ++i) {
        feed(decoder_, bytes[i]);
    }
}

bool DeviceSimulator::nextOutput(ScheduledByte& out) {
    if (output_.empty()) {
        return false;
    }
    out = output_.front();
    output_.pop_front();
    return true;
}

void DeviceSimulator::scriptFault(CommandCode code, const SimFault& fault, int times) {
    if (times < 0) {
        lastingFaults_[code] = fault;
        return;
    }
    std::deque<SimFault>& queue = faults_[code];
    queue.insert(queue.end(), static_cast<std::size_t>(times), fault);
}

void DeviceSimulator::clearFaults() {
    faults_.clear();
    lastingFaults_.clear();
}

std::optional<std::vector<std::uint8_t>> DeviceSimulator::storedValue(CommandCode getCode,
                                                                      int index) const {
    const auto found = values_.find({getCode, index});
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void DeviceSimulator::storeValue(CommandCode getCode, std::vector<std::uint8_t> value, int index) {
    values_[{getCode, index}] = std::move(value);
}

void DeviceSimulator::onRequest(void* context, const std::uint8_t* frame, std::uint8_t count) {
    auto& device = *static_cast<DeviceSimulator*>(context);
    if (count < kMessageHeaderSize) {
        return; // the decoder never delivers one, but the header is read below
    }
    RecordedRequest request;
    request.code = static_cast<CommandCode>((frame[0] << 8) | frame[1]);
    request.message.assign(frame, frame + count);
    const std::size_t carried = count - kMessageHeaderSize;
    const std::size_t length = std::min<std::size_t>(frame[3], carried);
    request.payload.assign(frame + kMessageHeaderSize, frame + kMessageHeaderSize + length);
    device.requests_.push_back(request);
    device.answer(request);
}

void DeviceSimulator::schedule(std::uint8_t value, std::uint64_t delayUs) {
    scheduledUs_ += delayUs;
    const std::uint64_t dueMs = scheduledUs_ / kMicrosecondsPerMs;
    ScheduledByte byte;
    byte.value = value;
    byte.delayMs = static_cast<std::uint32_t>(dueMs - scheduledMs_);
    byte.delayUs = static_cast<std::uint32_t>(delayUs);
    scheduledMs_ = dueMs;
    output_.push_back(byte);
}

void DeviceSimulator::answer(const RecordedRequest& request) {
    const SimFault fault = Impl::takeFault(*this, request.code).value_or(SimFault{});
    if (fault.hangup) {
        hungUp_ = true;
        output_.clear(); // what it was still sending goes with it
        return;
    }
    std::vector<ModelReply> replies;
    if (fault.stale || fault.stored) {
        // The answer is the one to the request sent; the store is another's.
        ValueStore answered = values_;
        replies = answerRequest(answered, request, options_);
        if (fault.stored) {
            RecordedRequest kept = request;
            kept.payload = *fault.stored;
            (void)answerRequest(values_, kept, options_);
        }
    } else {
        replies = answerRequest(values_, request, options_);
    }
    if (fault.silent || replies.empty()) {
        return;
    }
    Impl::applyFault(fault, replies);

    const std::uint64_t lineUs = byteTimeUs(options_.baud);
    const std::uint64_t gapUs = fault.byteGapMs * kMicrosecondsPerMs;
    std::uint64_t leadUs = fault.delayMs * kMicrosecondsPerMs;
    bool firstByte = true;
    auto send = [&](std::uint8_t value) {
        schedule(value, leadUs + (firstByte ? 0 : gapUs) + lineUs);
        leadUs = 0;
        firstByte = false;
    };

    for (std::uint8_t value : fault.noiseBefore) {
        send(value);
    }
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const ModelReply& reply = replies[i];
        std::vector<std::uint8_t> frame = encodeReplyFrame(
            reply.code, reply.payload, i == 0 ? fault.claimedLength : std::nullopt);
        if (i == 0 && fault.cutAfter && *fault.cutAfter < frame.size()) {
            frame.resize(*fault.cutAfter);
        }
        leadUs += reply.delayMs * kMicrosecondsPerMs;
        for (std::uint8_t value : frame) {
            send(value);
        }
    }
    for (std::uint8_t value : fault.noiseAfter) {
        send(value);
    }
}
