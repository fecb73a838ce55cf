#pragma once

#include "link/device_link.h"
#include "profile/profile.h"
#include "profile/read_back.h"
#include "provision/overrides.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One device's pass of a batch, over a link already open: connect, read who it is, refuse it
// when its firmware or the overrides say so, write the profile with its own values, read back
// what was written, disconnect. Everything it needs is its own (controls, caches, the
// connection), so passes over different links may run on different threads.

struct DeviceIdentity;

struct ProvisionPlan {
    std::vector<ProfileEntry> profile; // from parseProfile
    const OverrideTable* overrides = nullptr;
    bool overridesRequired = false; // refuse a device the overrides have no row for
    std::string requiredFirmware;   // "2.7": refuse older firmware; empty: any
    std::uint32_t connectTimeoutMs = 5000;
    // Takes the tracker for this pass once it is known; a text refuses it (it is another
    // port's, or written already). Null takes every tracker.
    std::function<std::string(const DeviceIdentity&)> claim;
};

// The six versions in the order the About dialog asks for them.
inline constexpr std::array<const char*, 6> kVersionModules = {"fw",   "gsm",  "lble",
                                                               "gnss", "wifi", "xnb"};

struct DeviceIdentity {
    std::string imei;
    std::string deviceId;
    std::array<std::string, 6> versions{}; // empty where the query failed
};

enum class PassStep { Connect, Identify, Write, Verify, Disconnect };
inline constexpr int kPassSteps = 5;

enum class PassOutcome {
    Provisioned, // every write succeeded and read back equal
    Differs,     // written, but a field reads back otherwise
    Failed,      // an exchange failed
    Refused,     // firmware too old, no override row, an expanded value of the wrong form
    Unplugged,   // the port hung up or vanished under the pass
    Interrupted, // a stop was asked for; the device got its disconnect
};

struct PassProgress {
    PassStep step;
    std::size_t done = 0; // exchanges of this step done so far
    std::size_t total = 0;
    const DeviceIdentity* identity = nullptr; // known from the Write step on
    bool withoutOverrideRow = false;          // overrides given, none for this tracker
};

struct PassResult {
    PassOutcome outcome = PassOutcome::Failed;
    DeviceIdentity identity;
    const OverrideRow* overrideRow = nullptr;
    bool withoutOverrideRow = false;
    std::vector<std::string> written; // the settings whose write succeeded, by name
    std::vector<std::string> skipped; // settings left out: every field empty in the profile
    bool readBackRan = false;
    ReadBackResult verify; // empty unless the Verify step ran
    std::string error;     // the first error, empty when none
    std::string log;       // the pass's log lines, read-back included
    std::chrono::milliseconds duration{0};
};

using PassObserver = std::function<void(const PassProgress&)>;

// Runs the pass; `stop` (may be null) is polled between exchanges.
PassResult provisionDevice(DeviceLink& link, const ProvisionPlan& plan,
                           const PassObserver& observer, bool (*stop)());

// "provisioned", "differs", "failed", "refused", "unplugged", "interrupted".
const char* outcomeText(PassOutcome outcome);
// "connect", "identify", "write", "verify", "disconnect".
const char* stepText(PassStep step);

// "2", "2.7", "2.7.1": dotted decimal numbers and nothing else.
bool isDottedVersion(std::string_view version);

// Orders dotted versions by their numbers ("2.10" after "2.9"); text after the numbers
// ("2.7.1 (2024-05-14)") is ignored. False when `version` starts with no number.
bool firmwareAtLeast(std::string_view version, std::string_view required, bool& atLeast);
