#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bytes as hex pairs and 'quoted' text, a quote optionally repeated: "00 'ab'*2 0D".
inline std::vector<std::uint8_t> wire(std::string_view spec) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = spec.find_first_not_of(' '); i < spec.size();
         i = spec.find_first_not_of(' ', i)) {
        if (spec[i] != '\'') {
            out.push_back(
                static_cast<std::uint8_t>(std::stoi(std::string(spec.substr(i, 2)), nullptr, 16)));
            i += 2;
            continue;
        }
        const std::size_t end = spec.find('\'', i + 1);
        std::size_t times = 1, digits = 0;
        if (end + 1 < spec.size() && spec[end + 1] == '*') {
            times = std::stoul(std::string(spec.substr(end + 2)), &digits);
        }
        for (std::size_t n = 0; n < times; ++n) {
            out.insert(out.end(), spec.begin() + i + 1, spec.begin() + end);
        }
        i = end + 1 + (digits > 0 ? digits + 1 : 0);
    }
    return out;
}
