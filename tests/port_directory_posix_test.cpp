#include "ports/port_directory_posix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// Found by argument lookup, so they live beside PortInfo.
static bool operator==(const PortInfo& a, const PortInfo& b) {
    return a.name == b.name && a.description == b.description;
}

static void PrintTo(const PortInfo& port, std::ostream* out) {
    *out << "{" << port.name << ", \"" << port.description << "\"}";
}

namespace {

// A sysfs tree laid out as the kernel lays it out: class/tty/NAME links into devices/, each
// port's `device` link pointing at the device it hangs off.
class FakeSysfs {
  public:
    FakeSysfs() {
        char pattern[] = "/tmp/tarnwick-sysfs-XXXXXX";
        root_ = ::mkdtemp(pattern);
        fs::create_directories(root_ / "class" / "tty");
    }
    ~FakeSysfs() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string root() const { return root_.string(); }

    struct UsbIds {
        std::string vendor;
        std::string product;
        std::string manufacturerText; // empty: no attribute
        std::string productText;      // empty: no attribute
    };

    // A usb-serial converter: tty below a port device below the interface below the device.
    void usbSerial(const std::string& name, const std::string& busPort, const UsbIds& ids) {
        const fs::path device = usbDevice(busPort, ids);
        const fs::path interface = device / (busPort + ":1.0");
        const fs::path port = interface / name;
        fs::create_directories(port);
        driver(port, "usb-serial", "ftdi_sio");
        ttyEntry(name, port / "tty" / name, port);
    }

    // A CDC ACM device: the tty hangs off the interface itself.
    void acm(const std::string& name, const std::string& busPort, const UsbIds& ids) {
        const fs::path device = usbDevice(busPort, ids);
        const fs::path interface = device / (busPort + ":1.0");
        fs::create_directories(interface);
        write(interface / "bInterfaceClass", "02");
        driver(interface, "usb", "cdc_acm");
        ttyEntry(name, interface / "tty" / name, interface);
    }

    // A serial-core port with its UART type number (0 for the 8250 placeholders).
    void uart(const std::string& name, int type, const std::string& parent,
              const std::string& driverName) {
        const fs::path device = root_ / "devices" / "platform" / parent;
        fs::create_directories(device);
        driver(device, "platform", driverName);
        const fs::path ttyDir = device / "tty" / name;
        ttyEntry(name, ttyDir, device);
        write(ttyDir / "type", std::to_string(type));
    }

    // Consoles and the like: no `device` link.
    void virtualTty(const std::string& name) {
        ttyEntry(name, root_ / "devices" / "virtual" / "tty" / name, {});
    }

  private:
    static void write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text << '\n';
    }

    fs::path usbDevice(const std::string& busPort, const UsbIds& ids) {
        const fs::path device =
            root_ / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / busPort;
        fs::create_directories(device);
        write(device / "idVendor", ids.vendor);
        write(device / "idProduct", ids.product);
        if (!ids.manufacturerText.empty()) {
            write(device / "manufacturer", ids.manufacturerText);
        }
        if (!ids.productText.empty()) {
            write(device / "product", ids.productText);
        }
        return device;
    }

    void driver(const fs::path& device, const std::string& bus, const std::string& name) {
        const fs::path target = root_ / "bus" / bus / "drivers" / name;
        fs::create_directories(target);
        if (!fs::is_symlink(device / "driver")) { // several ports may share one device
            fs::create_directory_symlink(fs::relative(target, device), device / "driver");
        }
    }

    void ttyEntry(const std::string& name, const fs::path& ttyDir, const fs::path& device) {
        fs::create_directories(ttyDir);
        write(ttyDir / "dev", "188:0");
        if (!device.empty()) {
            fs::create_directory_symlink(fs::relative(device, ttyDir), ttyDir / "device");
        }
        const fs::path classDir = root_ / "class" / "tty";
        fs::create_directory_symlink(fs::relative(ttyDir, classDir), classDir / name);
    }

    fs::path root_;
};

struct ListRow {
    const char* name;
    std::function<void(FakeSysfs&)> build;
    std::vector<PortInfo> expected;
};

const FakeSysfs::UsbIds kFtdi = {"0403", "6001", "FTDI", "FT232R USB UART"};

TEST(PortDirectoryPosix, ListsPortsFromSysfs) {
    const std::vector<ListRow> rows = {
        {"usb serial with maker and product",
         [](FakeSysfs& sys) { sys.usbSerial("ttyUSB0", "1-1", kFtdi); },
         {{"/dev/ttyUSB0", "FTDI FT232R USB UART (0403:6001)"}}},
        {"product that already names its maker",
         [](FakeSysfs& sys) {
             sys.usbSerial("ttyUSB0", "1-1",
                           {"067b", "2303", "Prolific", "Prolific USB-Serial Controller"});
         },
         {{"/dev/ttyUSB0", "Prolific USB-Serial Controller (067b:2303)"}}},
        {"usb serial without strings",
         [](FakeSysfs& sys) {
             sys.usbSerial("ttyUSB3", "1-4", {"1a86", "7523", "", ""});
         },
         {{"/dev/ttyUSB3", "USB serial port (1a86:7523)"}}},
        {"usb serial with a product only",
         [](FakeSysfs& sys) {
             sys.usbSerial("ttyUSB1", "1-2", {"10c4", "ea60", "", "CP2102"});
         },
         {{"/dev/ttyUSB1", "CP2102 (10c4:ea60)"}}},
        {"cdc acm",
         [](FakeSysfs& sys) {
             sys.acm("ttyACM0", "1-2",
                     {"0483", "5740", "STMicroelectronics", "STM32 Virtual ComPort"});
         },
         {{"/dev/ttyACM0", "STMicroelectronics STM32 Virtual ComPort (0483:5740)"}}},
        {"8250 placeholders are no ports",
         [](FakeSysfs& sys) {
             sys.uart("ttyS1", 0, "serial8250", "serial8250");
             sys.uart("ttyS2", 0, "serial8250", "serial8250");
             sys.uart("ttyS3", 0, "serial8250", "serial8250");
         },
         {}},
        {"real UART listed, placeholders not",
         [](FakeSysfs& sys) {
             sys.uart("ttyS0", 4, "00:01", "serial");
             sys.uart("ttyS1", 0, "serial8250", "serial8250");
         },
         {{"/dev/ttyS0", "Serial port (16550A)"}}},
        {"UART of another driver",
         [](FakeSysfs& sys) { sys.uart("ttyAMA0", 83, "fe201000.serial", "uart-pl011"); },
         {{"/dev/ttyAMA0", "Serial port (uart-pl011)"}}},
        {"virtual terminals are no ports",
         [](FakeSysfs& sys) {
             sys.virtualTty("tty0");
             sys.virtualTty("tty1");
             sys.virtualTty("ttyprintk");
             sys.virtualTty("console");
         },
         {}},
        {"natural order",
         [](FakeSysfs& sys) {
             sys.usbSerial("ttyUSB10", "1-10", kFtdi);
             sys.usbSerial("ttyUSB2", "1-2", kFtdi);
             sys.uart("ttyS10", 4, "00:0a", "serial");
             sys.uart("ttyS2", 4, "00:02", "serial");
             sys.acm("ttyACM1", "2-1", {"2341", "0043", "Arduino (www.arduino.cc)", ""});
             sys.virtualTty("tty5");
         },
         {{"/dev/ttyACM1", "Arduino (www.arduino.cc) (2341:0043)"},
          {"/dev/ttyS2", "Serial port (16550A)"},
          {"/dev/ttyS10", "Serial port (16550A)"},
          {"/dev/ttyUSB2", "FTDI FT232R USB UART (0403:6001)"},
          {"/dev/ttyUSB10", "FTDI FT232R USB UART (0403:6001)"}}},
        {"empty tree", [](FakeSysfs&) {}, {}},
    };
    for (const ListRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeSysfs sys;
        row.build(sys);
        EXPECT_EQ(listPorts(sys.root()), row.expected);
    }
}

TEST(PortDirectoryPosix, MissingSysfsListsNothing) {
    EXPECT_TRUE(listPorts("/tmp/tarnwick-no-such-sysfs").empty());
}

TEST(PortDirectoryPosix, IsPortPresent) {
    FakeSysfs sys;
    sys.usbSerial("ttyUSB97", "1-1", kFtdi);
    sys.uart("ttyS93", 0, "serial8250", "serial8250");

    int master = -1;
    int slave = -1;
    char ptyName[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, ptyName, nullptr, nullptr), 0);
    const std::string regularFile = sys.root() + "/class/tty/ttyUSB97/dev";

    struct Row {
        const char* name;
        std::string port;
        bool present;
    };
    const std::vector<Row> rows = {
        {"listed port", "/dev/ttyUSB97", true},
        {"name differs in case", "/dev/TTYUSB97", false},
        {"name without /dev", "ttyUSB97", false},
        {"placeholder UART without a device node", "/dev/ttyS93", false},
        {"unlisted and missing", "/dev/ttyUSB98", false},
        {"pty given by path", ptyName, true},
        {"regular file", regularFile, false},
        {"directory", "/tmp", false},
        {"empty name", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isPortPresent(row.port, sys.root()), row.present) << row.port;
    }
    ::close(slave);
    ::close(master);
}

TEST(PortDirectoryPosix, NaturalOrder) {
    struct Row {
        std::string left;
        std::string right;
        bool less;
    };
    const std::vector<Row> rows = {
        {"/dev/ttyS2", "/dev/ttyS10", true},       {"/dev/ttyS10", "/dev/ttyS2", false},
        {"/dev/ttyS2", "/dev/ttyS2", false},       {"/dev/ttyACM0", "/dev/ttyS0", true},
        {"/dev/ttyS0", "/dev/ttyUSB0", true},      {"/dev/ttyUSB9", "/dev/ttyUSB10", true},
        {"/dev/ttyUSB1", "/dev/ttyUSB01", true},   {"/dev/ttyUSB01", "/dev/ttyUSB1", false},
        {"/dev/ttyUSB", "/dev/ttyUSB0", true},     {"/dev/ttyUSB0", "/dev/ttyUSB", false},
        {"/dev/ttyUSB007", "/dev/ttyUSB10", true}, {"a1b2", "a1b10", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.left + " < " + row.right);
        EXPECT_EQ(naturalLess(row.left, row.right), row.less);
    }
}

} // namespace
