#include "link/serial_channel.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>

struct SerialChannel::State {
    HANDLE portHandle = INVALID_HANDLE_VALUE;
    HANDLE writeEvent = nullptr;
    HANDLE readEvent = nullptr;
    OVERLAPPED writeOverlapped{};
    OVERLAPPED readOverlapped{};
    std::uint8_t receiveSlot = 0;
    DWORD bytesWritten = 0;
    DWORD bytesRead = 0;
    bool hungUp = false;
};

namespace {

bool toWide(const std::string& text, std::wstring& wide) {
    if (text.empty() || text.size() > 0x7FFFFFFF) {
        return false;
    }
    const int size = static_cast<int>(text.size());
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units <= 0) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(units), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(),
                               units) == units;
}

// The errors a USB serial port gives once it is removed (Access denied too, the port having
// opened); a time-out or our own CancelIo (ERROR_OPERATION_ABORTED) is none of them.
bool isRemovalError(DWORD error) {
    constexpr DWORD kErrors[] = {
        ERROR_BAD_COMMAND,   ERROR_GEN_FAILURE,    ERROR_DEVICE_NOT_CONNECTED, ERROR_DEVICE_REMOVED,
        ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND};
    return std::find(std::begin(kErrors), std::end(kErrors), error) != std::end(kErrors);
}

// False, marking the port gone when the call failed as a removed port's calls fail.
bool failed(SerialChannel::State& s) {
    s.hungUp = s.hungUp || isRemovalError(GetLastError());
    return false;
}

// An overlapped record may only be reused once the driver is done with it: after CancelIo the
// request still completes (normally with ERROR_OPERATION_ABORTED), and it must be collected.
// True when the cancelled request had in fact completed with data before the cancel took.
bool cancelAndCollect(HANDLE port, OVERLAPPED& overlapped, DWORD& count) {
    CancelIo(port);
    count = 0;
    return GetOverlappedResult(port, &overlapped, &count, TRUE) != FALSE;
}

} // namespace

SerialChannel::SerialChannel() : state_(std::make_unique<State>()) {
    // Order matters to nobody but is kept fixed: write first, then read.
    state_->writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->writeOverlapped.hEvent = state_->writeEvent;
    state_->readOverlapped.hEvent = state_->readEvent;
}

SerialChannel::~SerialChannel() {
    if (state_->portHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(state_->portHandle);
    }
    if (state_->readEvent != nullptr) {
        CloseHandle(state_->readEvent);
    }
    if (state_->writeEvent != nullptr) {
        CloseHandle(state_->writeEvent);
    }
}

bool SerialChannel::openPort(const std::string& devicePath) {
    State& s = *state_;
    // A second open would leak the first handle; the caller closes first.
    if (s.portHandle != INVALID_HANDLE_VALUE || s.writeEvent == nullptr || s.readEvent == nullptr) {
        return false;
    }
    std::wstring widePath;
    if (!toWide(devicePath, widePath)) {
        return false;
    }
    const HANDLE handle = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    s.portHandle = handle;
    s.hungUp = false;
    // Virtual ports without modem lines (and Wine) refuse DTR; the port still works.
    EscapeCommFunction(handle, SETDTR);
    discardInput(); // bytes left from a session before ours answer nothing we will ask
    return true;
}

bool SerialChannel::closePort() {
    State& s = *state_;
    if (s.portHandle == INVALID_HANDLE_VALUE) {
        return true;
    }
    EscapeCommFunction(s.portHandle, CLRDTR);
    if (!CloseHandle(s.portHandle)) {
        return false;
    }
    s.portHandle = INVALID_HANDLE_VALUE;
    s.hungUp = false;
    return true;
}

bool SerialChannel::hungUp() const {
    return state_->hungUp;
}

bool SerialChannel::isOpen() const {
    return state_->portHandle != INVALID_HANDLE_VALUE;
}

bool SerialChannel::writeFrame(std::span<const std::uint8_t> frame) {
    State& s = *state_;
    if (s.portHandle == INVALID_HANDLE_VALUE || s.hungUp) {
        return false;
    }
    s.bytesWritten = 0;
    std::size_t done = 0;
    int emptyWrites = 0;
    while (done < frame.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(frame.size() - done, 0xFFFF));
        DWORD count = 0;
        if (!WriteFile(s.portHandle, frame.data() + done, chunk, &count, &s.writeOverlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                return failed(s);
            }
            // Hardware flow control can hold a write back for ever; give it a bound.
            if (WaitForSingleObject(s.writeEvent, kWriteTimeoutMs) != WAIT_OBJECT_0) {
                const bool completed = cancelAndCollect(s.portHandle, s.writeOverlapped, count);
                s.bytesWritten = count;
                return completed ? false : failed(s);
            }
            if (!GetOverlappedResult(s.portHandle, &s.writeOverlapped, &count, FALSE)) {
                return failed(s);
            }
        }
        s.bytesWritten = count;
        if (count == 0) {
            // One empty write can be a driver hiccup; two in a row is a port that takes nothing.
            if (++emptyWrites >= 2) {
                return false;
            }
            continue;
        }
        emptyWrites = 0;
        done += std::min<DWORD>(count, chunk);
    }
    return true;
}

bool SerialChannel::readByte(std::uint32_t timeoutMs, std::uint8_t& byte) {
    State& s = *state_;
    if (s.portHandle == INVALID_HANDLE_VALUE || s.hungUp) {
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        DWORD count = 0;
        if (ReadFile(s.portHandle, &s.receiveSlot, 1, &count, &s.readOverlapped)) {
            s.bytesRead = count;
        } else {
            if (GetLastError() != ERROR_IO_PENDING) {
                return failed(s);
            }
            const ULONGLONG now = GetTickCount64();
            const auto wait = static_cast<DWORD>(now < deadline ? deadline - now : 0);
            if (WaitForSingleObject(s.readEvent, wait) != WAIT_OBJECT_0) {
                // A byte that slipped in between the time-out and the cancel is still a byte.
                const bool completed = cancelAndCollect(s.portHandle, s.readOverlapped, count);
                s.bytesRead = count;
                if (completed && count == 1) {
                    byte = s.receiveSlot;
                    return true;
                }
                return completed ? false : failed(s);
            }
            if (!GetOverlappedResult(s.portHandle, &s.readOverlapped, &count, FALSE)) {
                return failed(s);
            }
            s.bytesRead = count;
        }
        if (count == 1) {
            byte = s.receiveSlot;
            return true;
        }
        // Driver time-outs left on the port by another program end a read with no data; that
        // is not a byte, so read again within what is left of this byte's time-out.
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(1);
    }
}

void SerialChannel::discardInput() {
    if (state_->portHandle != INVALID_HANDLE_VALUE) {
        PurgeComm(state_->portHandle, PURGE_RXCLEAR);
    }
}

std::string devicePathForPort(std::string_view portName) {
    // CreateFileW takes COM1 to COM9 by name, but COM10 and above only through the device
    // namespace, so every name is given the prefix.
    if (portName.starts_with("\\\\")) {
        return std::string(portName);
    }
    return "\\\\.\\" + std::string(portName);
}

std::uint32_t lastChannelError() {
    return GetLastError();
}
