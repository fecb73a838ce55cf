#include "link/command_index.h"
#include "sim/device_simulator.h"

#include <limits>
#include <string_view>

namespace {

constexpr std::size_t kMaxReplyPayload = 124;

// Decimal, or hexadecimal after "0x"; no sign, no blanks.
bool parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    std::uint64_t result = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (result > (max - digit) / base) {
            return false;
        }
        result = result * base + digit;
    }
    value = result;
    return true;
}

bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    std::vector<std::uint8_t> result;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint64_t value = 0;
        if (!parseUnsigned("0x" + std::string(text.substr(i, 2)), 0xFF, value)) {
            return false;
        }
        result.push_back(static_cast<std::uint8_t>(value));
    }
    bytes = std::move(result);
    return true;
}

// A number, or a command's name from the index ("get-master-flag").
bool parseCode(std::string_view text, CommandCode& code) {
    std::uint64_t value = 0;
    if (parseUnsigned(text, 0xFFFF, value)) {
        code = static_cast<CommandCode>(value);
        return true;
    }
    const CommandEntry* entry = findCommandByName(std::string(text).c_str());
    if (entry == nullptr) {
        return false;
    }
    code = entry->code;
    return true;
}

struct FaultItemParser {
    SimFault& fault;
    int& times;
    std::string& problem;

    bool number(std::string_view key, std::string_view value, std::uint64_t max,
                std::uint64_t& out) {
        if (!parseUnsigned(value, max, out)) {
            problem = std::string(key) + " needs a number from 0 to " + std::to_string(max) +
                      ", got \"" + std::string(value) + "\"";
            return false;
        }
        return true;
    }

    bool hex(std::string_view key, std::string_view value, bool emptyAllowed,
             std::vector<std::uint8_t>& out) {
        if ((value.empty() && !emptyAllowed) || !parseHexBytes(value, out)) {
            problem = std::string(key) + " needs " + (emptyAllowed ? "" : "at least one byte as ") +
                      "pairs of hexadecimal digits, got \"" + std::string(value) + "\"";
            return false;
        }
        return true;
    }

    bool item(std::string_view key, std::optional<std::string_view> value) {
        if (key == "silent" || key == "stale" || key == "hangup") {
            if (value) {
                problem = std::string(key) + " takes no value";
                return false;
            }
            (key == "silent" ? fault.silent : key == "stale" ? fault.stale : fault.hangup) = true;
            return true;
        }
        if (!value) {
            problem = std::string(1, '"').append(key).append("\" needs a value (key=value)");
            return false;
        }
        std::uint64_t n = 0;
        if (key == "code") {
            CommandCode code = 0;
            if (!parseCode(*value, code)) {
                problem = "code needs a command code or name, got \"" + std::string(*value) + "\"";
                return false;
            }
            fault.replyCode = code;
        } else if (key == "times") {
            if (*value == "-1") {
                times = -1;
            } else if (number(key, *value, std::numeric_limits<int>::max(), n)) {
                times = static_cast<int>(n);
            } else {
                problem += " (or -1 for every request)";
                return false;
            }
        } else if (key == "gap" || key == "delay") {
            if (!number(key, *value, std::numeric_limits<std::uint32_t>::max(), n)) {
                return false;
            }
            (key == "gap" ? fault.byteGapMs : fault.delayMs) = static_cast<std::uint32_t>(n);
        } else if (key == "noise-before") {
            return hex(key, *value, false, fault.noiseBefore);
        } else if (key == "noise-after") {
            return hex(key, *value, false, fault.noiseAfter);
        } else if (key == "payload" || key == "store") {
            std::vector<std::uint8_t> payload;
            if (!hex(key, *value, true, payload)) {
                return false;
            }
            if (payload.size() > kMaxReplyPayload) {
                problem = std::string(key) + " holds at most 124 bytes, got " +
                          std::to_string(payload.size());
                return false;
            }
            (key == "payload" ? fault.payload : fault.stored) = std::move(payload);
        } else if (key == "status" || key == "claimed-length") {
            if (!number(key, *value, 0xFF, n)) {
                return false;
            }
            (key == "status" ? fault.status : fault.claimedLength) = static_cast<std::uint8_t>(n);
        } else if (key == "cut") {
            if (!number(key, *value, std::numeric_limits<std::uint32_t>::max(), n)) {
                return false;
            }
            fault.cutAfter = static_cast<std::size_t>(n);
        } else {
            problem = "unknown key \"" + std::string(key) +
                      "\" (silent, code, times, gap, delay, noise-before, noise-after, payload, "
                      "status, claimed-length, cut, stale, store, hangup)";
            return false;
        }
        return true;
    }
};

} // namespace

bool parseFaultSpec(const std::string& spec, CommandCode& code, SimFault& fault, int& times,
                    std::string& error) {
    const auto fail = [&](const std::string& problem) {
        error = problem;
        return false;
    };
    const std::size_t colon = spec.find(':');
    if (colon == std::string::npos) {
        return fail("expected CODE:fault, e.g. 0x0009:silent");
    }
    const std::string_view codeText = std::string_view(spec).substr(0, colon);
    CommandCode parsedCode = 0;
    if (!parseCode(codeText, parsedCode)) {
        return fail(std::string(1, '"').append(codeText).append("\" is no command code or name"));
    }
    if (findCommand(parsedCode) == nullptr) {
        return fail("command code " + std::string(codeText) + " is not one the device knows");
    }
    std::string_view rest = std::string_view(spec).substr(colon + 1);
    if (rest.empty()) {
        return fail("no fault given after the colon");
    }

    SimFault parsedFault;
    int parsedTimes = 1;
    std::string problem;
    FaultItemParser parser{parsedFault, parsedTimes, problem};
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        if (item.empty()) {
            return fail("empty item");
        }
        const std::size_t equals = item.find('=');
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos) {
            value = item.substr(equals + 1);
        }
        if (!parser.item(item.substr(0, equals), value)) {
            return fail(problem);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    code = parsedCode;
    fault = std::move(parsedFault);
    times = parsedTimes;
    return true;
}
