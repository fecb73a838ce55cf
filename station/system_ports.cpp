#include "link/serial_channel.h"
#include "station/station.h"

#include <filesystem>

namespace {

class SystemPorts final : public PortSource {
  public:
    std::vector<PortInfo> present() override { return listPorts(); }

    bool isPresent(const std::string& name) override {
        std::error_code error;
        return std::filesystem::exists(devicePathForPort(name), error) || isPortPresent(name);
    }

    // A link and its target resolve to one path; a name the file system does not know (a COM
    // port) is its own key.
    std::string deviceKey(const std::string& name) override {
        std::error_code error;
        const std::filesystem::path path =
            std::filesystem::canonical(devicePathForPort(name), error);
        return error ? name : path.string();
    }

    std::unique_ptr<ByteChannel> open(const std::string& name, std::string& error) override {
        auto channel = std::make_unique<SerialChannel>();
        if (!channel->openPort(devicePathForPort(name))) {
            error = "cannot open port " + name +
                    " (missing, in use by another program, or no permission)";
            return nullptr;
        }
        return channel;
    }
};

} // namespace

std::unique_ptr<PortSource> systemPorts() {
    return std::make_unique<SystemPorts>();
}
