#include "ports/port_spec.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameHex(const std::string& id, const std::string& wanted) {
    return id.size() == wanted.size() &&
           std::equal(id.begin(), id.end(), wanted.begin(), [](unsigned char a, unsigned char b) {
               return std::toupper(a) == std::toupper(b);
           });
}

bool isUsbId(const std::string& text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(),
                                           [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string candidateList(const std::vector<const PortInfo*>& ports) {
    std::string text;
    for (const PortInfo* port : ports) {
        text += (text.empty() ? "" : ", ") + port->name + " (" + usbIdentityText(*port) + ")";
    }
    return text;
}

} // namespace

std::string usbIdentityText(const PortInfo& port) {
    if (port.vid.empty() || port.pid.empty()) {
        return {};
    }
    std::string text = port.vid + ":" + port.pid;
    for (const std::string& part : {port.serial.empty() ? port.serial : "serial " + port.serial,
                                    port.manufacturer, port.product}) {
        if (!part.empty()) {
            text += "  " + part;
        }
    }
    return text;
}

bool resolvePortSpec(const std::string& spec, const std::vector<PortInfo>& ports,
                     std::string& portName, std::string& error) {
    const bool any = spec == "auto";
    if (!any && !spec.starts_with("usb:")) {
        portName = spec;
        return true;
    }
    std::string vid;
    std::string pid;
    std::string serial;
    bool withSerial = false;
    if (!any) {
        // usb:VID:PID, then optionally :SERIAL (which may hold colons of its own)
        withSerial = spec.size() > 13;
        if (spec.size() < 13 || spec[8] != ':' || (withSerial && spec[13] != ':') ||
            spec.size() == 14) {
            vid.clear();
        } else {
            vid = spec.substr(4, 4);
            pid = spec.substr(9, 4);
            serial = withSerial ? spec.substr(14) : std::string();
        }
        if (!isUsbId(vid) || !isUsbId(pid)) {
            error = "bad port " + spec +
                    ": give usb:VID:PID[:SERIAL], VID and PID four hex digits each";
            return false;
        }
    }
    std::vector<const PortInfo*> usbPorts;
    std::vector<const PortInfo*> matches;
    for (const PortInfo& port : ports) {
        if (port.vid.empty() || port.pid.empty()) {
            continue;
        }
        usbPorts.push_back(&port);
        if (any || (sameHex(port.vid, vid) && sameHex(port.pid, pid) &&
                    (!withSerial || port.serial == serial))) {
            matches.push_back(&port);
        }
    }
    if (matches.size() == 1) {
        portName = matches[0]->name;
        return true;
    }
    if (matches.empty()) {
        error = "no port matches " + spec + "; " +
                (usbPorts.empty() ? "no USB serial ports present"
                                  : "USB serial ports present: " + candidateList(usbPorts));
    } else {
        error = std::to_string(matches.size()) + " ports match " + spec + ": " +
                candidateList(matches) + "; pick one with --port NAME or usb:VID:PID:SERIAL";
    }
    return false;
}
