#include "app/cli/log_results.h"

#include "settings/result_text.h"

#include <algorithm>

std::vector<std::string_view> logLines(std::string_view log) {
    std::vector<std::string_view> lines;
    while (!log.empty()) {
        const std::size_t end = log.find("\r\n");
        lines.push_back(log.substr(0, end));
        log.remove_prefix(end == std::string_view::npos ? log.size() : end + 2);
    }
    return lines;
}

bool lineSucceeded(std::string_view line) {
    constexpr std::string_view kActionEnd = "...   ";
    std::string_view success = result::kSuccess;
    success.remove_suffix(2); // its CR LF
    if (!line.ends_with(success)) {
        return false;
    }
    line.remove_suffix(success.size());
    return line.ends_with(kActionEnd);
}

bool allSucceeded(std::string_view log, std::size_t operations) {
    const std::vector<std::string_view> lines = logLines(log);
    return lines.size() == operations && std::all_of(lines.begin(), lines.end(), lineSucceeded);
}
