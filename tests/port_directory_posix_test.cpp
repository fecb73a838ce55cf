#include "ports/port_directory_posix.h"
#include "ports/port_spec.h"
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
             const std::string& serial, const std::string& maker,
             const std::string& product) const {
        const fs::path device = root() / "devices/pci0000:00/usb1" / ("1-" + name);
        file(device / "idVendor", ids.substr(0, 4));
        file(device / "idProduct", ids.substr(5));
        file(device / "serial", serial);
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
    sys.usb("ttyUSB10", "1.0/ttyUSB10", "0403:6001", "A502", "FTDI", "FT232R");
    sys.usb("ttyUSB2", "1.0/ttyUSB2", "067b:2303", "", "PL", "PL 2303");
    sys.usb("ttyUSB3", "1.0/ttyUSB3", "1a86:7523", "", "", "");
    sys.usb("ttyACM0", "1.0", "1209:2a1e", "TRK00042", "Acme", "T4");
    sys.uart("ttyS0", 4, "serial");
    sys.uart("ttyAMA0", 83, "uart-pl011");
    sys.uart("ttyS93", 0, "serial8250"); // placeholder for a UART that is not fitted
    sys.link(sys.root() / "devices/virtual/tty/console", sys.root() / "class/tty/console");

    std::vector<std::string> listed;
    for (const PortInfo& port : listPorts(sys.root().string())) {
        listed.push_back(port.name + " = " + port.description + " | " + port.vid + ":" + port.pid +
                         " " + port.serial + " " + port.manufacturer + "/" + port.product);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "/dev/ttyACM0 = Acme T4 (1209:2a1e) | 1209:2A1E TRK00042 Acme/T4",
                          "/dev/ttyAMA0 = Serial port (uart-pl011) | :  /",
                          "/dev/ttyS0 = Serial port (16550A) | :  /",
                          "/dev/ttyUSB2 = PL 2303 (067b:2303) | 067B:2303  PL/PL 2303",
                          "/dev/ttyUSB3 = USB serial port (1a86:7523) | 1A86:7523  /",
                          "/dev/ttyUSB10 = FTDI FT232R (0403:6001) | 0403:6001 A502 FTDI/FT232R",
                      }));

    pty_test::PtyPair pty;
    EXPECT_TRUE(isPortPresent("/dev/ttyUSB3", sys.root().string()));
    EXPECT_TRUE(isPortPresent(pty.path, sys.root().string())) << "a port given by path";
    EXPECT_FALSE(isPortPresent(sys.path("class/tty/ttyS0/type"), sys.root().string()));
}

TEST(PortSpec, PicksTheOnePortOfAUsbIdentityOrNamesTheCandidates) {
    const PortInfo all[] = {
        {"/dev/ttyACM0", "a", "1209", "2A1E", "TRK00042", "Tarnwick", "T4"},
        {"/dev/ttyACM1", "b", "1209", "2A1E", "TRK00043", "Tarnwick", "T4"},
        {"/dev/ttyUSB0", "c", "0403", "6001", "", "FTDI", "FT232R"},
        {"/dev/ttyS0", "Serial port (16550A)"},
    };
    const std::string acm0 = "/dev/ttyACM0 (1209:2A1E  serial TRK00042  Tarnwick  T4)";
    const std::string acm1 = "/dev/ttyACM1 (1209:2A1E  serial TRK00043  Tarnwick  T4)";
    const std::string usb0 = "/dev/ttyUSB0 (0403:6001  FTDI  FT232R)";
    const std::string bad = ": give usb:VID:PID[:SERIAL], VID and PID four hex digits each";
    const std::string pick = "; pick one with --port NAME or usb:VID:PID:SERIAL";
    const struct {
        const char* spec;
        std::string present; // indexes into `all`
        std::string result;  // the port's name, or "! " and the message
    } cases[] = {
        {"usb:0403:6001", "0123", "/dev/ttyUSB0"},
        {"usb:1209:2a1e:TRK00043", "0123", "/dev/ttyACM1"},
        {"usb:1209:2A1E", "0123", "! 2 ports match usb:1209:2A1E: " + acm0 + ", " + acm1 + pick},
        {"usb:1209:2A1E:trk00043", "012",
         "! no port matches usb:1209:2A1E:trk00043; USB serial ports present: " + acm0 + ", " +
             acm1 + ", " + usb0},
        {"auto", "23", "/dev/ttyUSB0"},
        {"auto", "023", "! 2 ports match auto: " + acm0 + ", " + usb0 + pick},
        {"auto", "3", "! no port matches auto; no USB serial ports present"},
        {"COM3", "0123", "COM3"},
        {"usb:403:6001", "2", "! bad port usb:403:6001" + bad},
        {"usb:0403:6001:", "2", "! bad port usb:0403:6001:" + bad},
        {"usb:0403-6001", "2", "! bad port usb:0403-6001" + bad},
    };
    for (const auto& row : cases) {
        std::vector<PortInfo> ports;
        for (const char index : row.present) {
            ports.push_back(all[index - '0']);
        }
        std::string name;
        std::string error;
        const bool ok = resolvePortSpec(row.spec, ports, name, error);
        EXPECT_EQ(ok ? name : "! " + error, row.result) << row.spec << " among " << row.present;
    }
    // A batch takes every match, and finding none is no fault.
    std::vector<PortInfo> matches;
    std::string error;
    ASSERT_TRUE(matchPortSpec("usb:1209:2a1e", {all, all + 4}, matches, error));
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].serial + " " + matches[1].name, "TRK00042 /dev/ttyACM1");
    EXPECT_TRUE(matchPortSpec("auto", {all + 3, all + 4}, matches, error) && matches.empty());
    EXPECT_FALSE(matchPortSpec("usb:403:6001", {}, matches, error));
}

} // namespace
