#include "ports/port_directory_posix.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

// A sysfs attribute's text without its trailing newline; empty when there is none.
std::string readAttribute(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.pop_back();
    }
    return text;
}

bool isUnder(const fs::path& path, const fs::path& root) {
    const auto [rootEnd, pathIt] =
        std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

// The USB device a tty hangs off: the nearest ancestor of its device that has USB ids. A
// usb-serial port sits two levels below it (port, interface), a CDC ACM port one level.
bool findUsbDevice(const fs::path& deviceLink, const fs::path& root, fs::path& usbDevice) {
    std::error_code error;
    fs::path dir = fs::canonical(deviceLink, error);
    if (error) {
        return false;
    }
    for (int level = 0; level < 8 && isUnder(dir, root) && dir != root; ++level) {
        if (fs::exists(dir / "idVendor", error) && fs::exists(dir / "idProduct", error)) {
            usbDevice = dir;
            return true;
        }
        dir = dir.parent_path();
    }
    return false;
}

// Four upper-case hex digits, or nothing when the attribute is not that.
std::string usbId(const fs::path& file) {
    std::string id = readAttribute(file);
    if (id.size() != 4 ||
        !std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return {};
    }
    std::transform(id.begin(), id.end(), id.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return id;
}

void describeUsb(const fs::path& usbDevice, PortInfo& port) {
    port.vid = usbId(usbDevice / "idVendor");
    port.pid = usbId(usbDevice / "idProduct");
    port.serial = readAttribute(usbDevice / "serial");
    port.manufacturer = readAttribute(usbDevice / "manufacturer");
    port.product = readAttribute(usbDevice / "product");
    const std::string& maker = port.manufacturer;
    std::string text;
    if (port.product.empty()) {
        text = maker.empty() ? "USB serial port" : maker;
    } else if (maker.empty() || port.product.starts_with(maker)) {
        text = port.product;
    } else {
        text = maker + " " + port.product;
    }
    port.description = text + " (" + readAttribute(usbDevice / "idVendor") + ":" +
                       readAttribute(usbDevice / "idProduct") + ")";
}

// The UART names of the 8250 driver, by the serial core's port type.
const char* uartName(long type) {
    static const char* const names[] = {
        "unknown",    "8250",    "16450",     "16550",   "16550A",
        "Cirrus",     "ST16650", "ST16650V2", "TI16750", "Startech",
        "16C950/954", "ST16654", "XR16850",   "RSA",     "NS16550A",
    };
    if (type >= 0 && type < static_cast<long>(std::size(names))) {
        return names[type];
    }
    return nullptr;
}

std::string driverName(const fs::path& ttyEntry) {
    std::error_code error;
    const fs::path driver = fs::canonical(ttyEntry / "device" / "driver", error);
    return error ? std::string() : driver.filename().string();
}

// False for entries that are not ports a device can sit on.
bool describePort(const fs::path& ttyEntry, const fs::path& root, PortInfo& port) {
    std::error_code error;
    if (!fs::exists(ttyEntry / "device", error)) {
        return false; // consoles, ptys and other virtual ttys
    }
    fs::path usbDevice;
    if (findUsbDevice(ttyEntry / "device", root, usbDevice)) {
        describeUsb(usbDevice, port);
        return true;
    }
    const std::string typeText = readAttribute(ttyEntry / "type");
    const std::string driver = driverName(ttyEntry);
    if (!typeText.empty()) {
        char* end = nullptr;
        const long type = std::strtol(typeText.c_str(), &end, 10);
        if (end == typeText.c_str() || type == 0) {
            return false; // the 8250 driver's placeholders for UARTs that are not fitted
        }
        if (const char* name = uartName(type)) {
            port.description = std::string("Serial port (") + name + ")";
            return true;
        }
    }
    port.description = driver.empty() ? "Serial port" : "Serial port (" + driver + ")";
    return true;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool naturalLess(const std::string& left, const std::string& right) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            const std::size_t leftStart = i;
            const std::size_t rightStart = j;
            while (i < left.size() && isDigit(left[i])) {
                ++i;
            }
            while (j < right.size() && isDigit(right[j])) {
                ++j;
            }
            std::size_t leftDigits = leftStart;
            std::size_t rightDigits = rightStart;
            while (leftDigits + 1 < i && left[leftDigits] == '0') {
                ++leftDigits;
            }
            while (rightDigits + 1 < j && right[rightDigits] == '0') {
                ++rightDigits;
            }
            const std::string_view leftNumber(left.data() + leftDigits, i - leftDigits);
            const std::string_view rightNumber(right.data() + rightDigits, j - rightDigits);
            if (leftNumber.size() != rightNumber.size()) {
                return leftNumber.size() < rightNumber.size();
            }
            if (leftNumber != rightNumber) {
                return leftNumber < rightNumber;
            }
            if (i - leftStart != j - rightStart) {
                return i - leftStart < j - rightStart; // "1" before "01"
            }
            continue;
        }
        if (left[i] != right[j]) {
            return static_cast<unsigned char>(left[i]) < static_cast<unsigned char>(right[j]);
        }
        ++i;
        ++j;
    }
    return left.size() - i < right.size() - j;
}

std::vector<PortInfo> listPorts(const std::string& sysfsRoot) {
    std::vector<PortInfo> ports;
    std::error_code error;
    const fs::path root = fs::canonical(sysfsRoot, error);
    if (error) {
        return ports;
    }
    for (fs::directory_iterator it(root / "class" / "tty", error), end; !error && it != end;
         it.increment(error)) {
        PortInfo port;
        port.name = "/dev/" + it->path().filename().string();
        if (describePort(it->path(), root, port)) {
            ports.push_back(std::move(port));
        }
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return naturalLess(a.name, b.name); });
    return ports;
}

bool isPortPresent(const std::string& name, const std::string& sysfsRoot) {
    for (const PortInfo& port : listPorts(sysfsRoot)) {
        if (port.name == name) {
            return true;
        }
    }
    // A path the user gave (a pty, a port the scan does not know) counts while it exists.
    struct stat info {};
    return !name.empty() && ::stat(name.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::vector<PortInfo> listPorts() {
    return listPorts("/sys");
}

bool isPortPresent(const std::string& name) {
    return isPortPresent(name, "/sys");
}
