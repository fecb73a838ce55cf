#include "provision/device_keys.h"

#include <algorithm>

bool isValidImei(std::string_view imei) {
    if (imei.size() != 15 ||
        !std::all_of(imei.begin(), imei.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    // Luhn: from the right, every second digit doubled, its digits summed.
    int sum = 0;
    for (std::size_t i = 0; i < imei.size(); ++i) {
        int digit = imei[imei.size() - 1 - i] - '0';
        if (i % 2 == 1) {
            digit *= 2;
            digit = digit > 9 ? digit - 9 : digit;
        }
        sum += digit;
    }
    return sum % 10 == 0;
}

bool isValidDeviceId(std::string_view deviceId) {
    constexpr std::string_view kRefused = " \",{}";
    return !deviceId.empty() && deviceId.size() <= 64 &&
           std::all_of(deviceId.begin(), deviceId.end(), [&](char c) {
               return c > 0x20 && c < 0x7F && kRefused.find(c) == std::string_view::npos;
           });
}
