#include "ports/port_directory_posix.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A sysfs tree laid out as the kernel's: class/tty/NAME links into devices/, each port's
// `device` link pointing at what it hangs off.
struct FakeSysfs : TempDir {
    void file(const fs::path& at, const std::string& text) const {
        if (text.empty()) {
            return; // no such attribute
        }
        fs::create_directories(at.parent_path());
        std::ofstream(at) << text << '\n';
    }
    void link(const fs::path& target, const fs::path& at) const {
        fs::create_directories(target);
        fs::create_directories(at.parent_path());
        fs::create_directory_symlink(fs::relative(target, at.parent_path()), at);
    }
    fs::path tty(const std::string& name, const fs::path& device) const {
        const fs::path dir = device / "tty" / name;
        link(device, dir / "device");
        link(dir, root() / "class/tty" / name);
        return dir;
    }
    // The tty hangs `below` the USB device: its interface (ACM) or a port in that (usb-serial).
    void usb(const std::string& name, const std::string& below, const std::string& ids,
             const std::string& maker, const std::string& product) const {
        const fs::path device = root() / "devices/pci0000:00/usb1" / ("1-" + name);
        file(device / "idVendor", ids.substr(0, 4));
        file(device / "idProduct", ids.substr(5));
        file(device / "manufacturer", maker);
        file(device / "product", product);
        tty(name, device / below);
    }
    void uart(const std::string& name, int type, const std::string& driver) const {
        const fs::path device = root() / "devices/platform" / (name + ".serial");
        link(root() / "bus/platform/drivers" / driver, device / "driver");
        file(tty(name, device) / "type", std::to_string(type));
    }
};

TEST(PortDirectoryPosix, ListsUsbAcmAndFittedUartsInNaturalOrder) {
    FakeSysfs sys;
    sys.usb("ttyUSB10", "1.0/ttyUSB10", "0403:6001", "FTDI", "FT232R USB UART");
    sys.usb("ttyUSB2", "1.0/ttyUSB2", "067b:2303", "Prolific", "Prolific USB-Serial Controller");
    sys.usb("ttyUSB3", "1.0/ttyUSB3", "1a86:7523", "", "");
    sys.usb("ttyACM0", "1.0", "0483:5740", "STMicroelectronics", "STM32 Virtual ComPort");
    sys.uart("ttyS0", 4, "serial");
    sys.uart("ttyAMA0", 83, "uart-pl011");
    sys.uart("ttyS93", 0, "serial8250"); // placeholder for a UART that is not fitted
    sys.link(sys.root() / "devices/virtual/tty/console", sys.root() / "class/tty/console");

    std::vector<std::string> listed;
    for (const PortInfo& port : listPorts(sys.root().string())) {
        listed.push_back(port.name + " = " + port.description);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "/dev/ttyACM0 = STMicroelectronics STM32 Virtual ComPort (0483:5740)",
                          "/dev/ttyAMA0 = Serial port (uart-pl011)",
                          "/dev/ttyS0 = Serial port (16550A)",
                          "/dev/ttyUSB2 = Prolific USB-Serial Controller (067b:2303)",
                          "/dev/ttyUSB3 = USB serial port (1a86:7523)",
                          "/dev/ttyUSB10 = FTDI FT232R USB UART (0403:6001)",
                      }));

    pty_test::PtyPair pty;
    EXPECT_TRUE(isPortPresent("/dev/ttyUSB3", sys.root().string()));
    EXPECT_TRUE(isPortPresent(pty.path, sys.root().string())) << "a port given by path";
    EXPECT_FALSE(isPortPresent(sys.path("class/tty/ttyS0/type"), sys.root().string()));
}

} // namespace
