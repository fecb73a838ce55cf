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

bool matchPortSpec(const std::string& spec, const std::vector<PortInfo>& ports,
                   std::vector<PortInfo>& matches, std::string& error) {
    matches.clear();
    const bool any = spec == "auto";
    if (!any && !spec.starts_with("usb:")) {
        PortInfo named;
        named.name = spec;
        matches.push_back(named);
        return true;
    }
    std::string vid;
    std::string pid;
    std::string serial;
    bool withSerial = false;
    if (!any) {
        // usb:VID:PID, then optionally :SERIAL (which may hold colons of its own)
        withSerial = spec.size() > 13;
        if (spec.size() >= 13 && spec[8] == ':' && (!withSerial || spec[13] == ':') &&
            spec.size() != 14) {
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
    for (const PortInfo& port : ports) {
        if (!port.vid.empty() && !port.pid.empty() &&
            (any || (sameHex(port.vid, vid) && sameHex(port.pid, pid) &&
                     (!withSerial || port.serial == serial)))) {
            matches.push_back(port);
        }
    }
    return true;
}

bool resolvePortSpec(const std::string& spec, const std::vector<PortInfo>& ports,
                     std::string& portName, std::string& error) {
    std::vector<PortInfo> matches;
    if (!matchPortSpec(spec, ports, matches, error)) {
        return false;
    }
    if (matches.size() == 1) {
        portName = matches[0].name;
        return true;
    }
    std::vector<const PortInfo*> listed;
    for (const PortInfo& port : matches.empty() ? ports : matches) {
        if (!port.vid.empty() && !port.pid.empty()) {
            listed.push_back(&port);
        }
    }
    if (matches.empty()) {
        error = "no port matches " + spec + "; " +
                (listed.empty() ? "no USB serial ports present"
                                : "USB serial ports present: " + candidateList(listed));
    } else {
        error = std::to_string(matches.size()) + " ports match " + spec + ": " +
                candidateList(listed) + "; pick one with --port NAME or usb:VID:PID:SERIAL";
    }
    return false;
}
