#pragma once

#include "link/command_code.h"
#include "link/frame_decoder.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A scripted deviation from the model's answer to one command. Where the model answers with
// several frames (connect, aux sensors), replyCode, status and claimedLength change the first
// frame only; a payload or a cut makes that first frame the whole answer; silent drops them all.
// stale and stored answer a write as the model would (acknowledged) but leave behind the old
// value, or what a write of `stored` (a request payload, index byte included) would have left.
// hangup makes the device vanish at the request, as a pulled cable: no answer, ever again.
struct SimFault {
    bool silent = false;                              // no reply at all
    std::optional<CommandCode> replyCode;             // answer as if to another command
    std::optional<std::vector<std::uint8_t>> payload; // replaces the whole reply payload
    std::optional<std::uint8_t> status;               // replaces the status byte
    std::optional<std::uint8_t> claimedLength;        // replaces header byte 3 only
    std::vector<std::uint8_t> noiseBefore;            // raw bytes sent before the frame
    std::vector<std::uint8_t> noiseAfter;             // raw bytes sent after the frame
    std::uint32_t delayMs = 0;                        // before the first byte (a late reply)
    std::uint32_t byteGapMs = 0;                      // between consecutive bytes
    std::optional<std::size_t> cutAfter;              // send only this many frame bytes
    bool stale = false;                               // a write leaves the store as it was
    std::optional<std::vector<std::uint8_t>> stored;  // what a write stores instead
    bool hangup = false;                              // the device vanishes
};

// A decoded request as the device saw it.
struct RecordedRequest {
    CommandCode code = 0;
    std::vector<std::uint8_t> payload;
    std::vector<std::uint8_t> message; // header and payload, exactly as decoded
};

// One byte the device sends, due `delayMs` after the previous one (or after the request).
// `delayUs` is the same delay to the microsecond; the millisecond values carry their rounding
// over to the next byte, so that their sum stays true over a paced answer.
struct ScheduledByte {
    std::uint32_t delayMs = 0;
    std::uint8_t value = 0;
    std::uint32_t delayUs = 0;
};

struct SimulatorOptions {
    std::uint32_t connectSecondReplyDelayMs = 1500;
    std::uint32_t baud = 0; // 0: bytes leave at once; otherwise paced at 10 bits per byte
    std::uint32_t auxFrameIntervalMs = 250; // between the frames of one aux sensor answer
};

// A model of the tracker behind the frame protocol: feed it the host's bytes, collect the
// bytes it answers with. Holds realistic state; faults are scripted per command.
class DeviceSimulator {
  public:
    explicit DeviceSimulator(SimulatorOptions options = {});
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;

    // Bytes written by the host; every completed request is recorded and answered.
    void receive(const std::uint8_t* bytes, std::size_t count);

    // Pops the next byte the device sends; false when it has nothing to send.
    bool nextOutput(ScheduledByte& out);
    bool hasOutput() const { return !output_.empty(); }
    // True once a hangup fault fired: the device takes and sends nothing from then on.
    bool hungUp() const { return hungUp_; }

    // The next `times` requests for `code` get `fault` instead of the model's answer; with
    // times = -1 every request does. Faults scripted for a number of times come first.
    void scriptFault(CommandCode code, const SimFault& fault, int times = 1);
    void clearFaults();

    const std::vector<RecordedRequest>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }

    // Raw access to the model for tests: the value bytes stored for a get code (and index).
    // storeValue skips the checks of a set, so a test can serve a value the device would refuse.
    std::optional<std::vector<std::uint8_t>> storedValue(CommandCode getCode, int index = -1) const;
    void storeValue(CommandCode getCode, std::vector<std::uint8_t> value, int index = -1);

    const SimulatorOptions& options() const { return options_; }

    struct Impl;

  private:
    static void onRequest(void* context, const std::uint8_t* frame, std::uint8_t count);
    void answer(const RecordedRequest& request);
    void schedule(std::uint8_t value, std::uint64_t delayUs);

    SimulatorOptions options_;
    FrameDecoder decoder_{};
    std::vector<RecordedRequest> requests_;
    std::deque<ScheduledByte> output_;
    std::map<CommandCode, std::deque<SimFault>> faults_;
    std::map<CommandCode, SimFault> lastingFaults_; // scripted with times = -1
    std::map<std::pair<CommandCode, int>, std::vector<std::uint8_t>> values_;
    std::uint64_t scheduledUs_ = 0; // delays queued so far, to the microsecond
    std::uint64_t scheduledMs_ = 0; // the same, as handed out in whole milliseconds
    bool hungUp_ = false;
};

// The line time of one byte at `baud` (start, 8 data, stop bit), in microseconds.
std::uint32_t byteTimeUs(std::uint32_t baud);

// The wire frame of a reply message: the same framing as a request, for payloads up to 124
// bytes. `claimedLength` replaces header byte 3 when given; the frame's own length byte stays
// true to the message.
std::vector<std::uint8_t> encodeReplyFrame(CommandCode code, std::span<const std::uint8_t> payload,
                                           std::optional<std::uint8_t> claimedLength = {});

// Parses a fault given on the command line, "CODE:key=value,key=value" or "CODE:silent",
// e.g. "0x0009:code=0x0008,times=1", "9:gap=500", "9:noise-before=55aa,payload=0001",
// "0x020F:stale", "0x020F:store=0050", "0x0302:hangup".
// Fills `code`, `fault` and `times`; false with a message in `error` when malformed.
bool parseFaultSpec(const std::string& spec, CommandCode& code, SimFault& fault, int& times,
                    std::string& error);
