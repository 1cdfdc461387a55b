#pragma once
// The link's only contact with the platform: the filter driver's control device and the pauses
// between requests. Production talks to Windows (Win32DeviceIo); tests substitute a recording fake.
#include <windows.h>

namespace qelt {

class DeviceIo {
public:
    virtual ~DeviceIo() = default;
    // CreateFileW on the device (read/write access, share read, open existing). On success stores
    // the handle and returns 0; otherwise returns the platform's error code and leaves *device NULL.
    virtual DWORD Open(const wchar_t* deviceName, HANDLE* device) = 0;
    // One buffered DeviceIoControl. Returns 0 on success, else the platform's error code.
    virtual DWORD Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                          DWORD outputLength) = 0;
    virtual void Close(HANDLE device) = 0;
    virtual void Pause(DWORD milliseconds) = 0;
};

// CreateFileW / DeviceIoControl / CloseHandle / Sleep.
class Win32DeviceIo final : public DeviceIo {
public:
    DWORD Open(const wchar_t* deviceName, HANDLE* device) override;
    DWORD Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                  DWORD outputLength) override;
    void Close(HANDLE device) override;
    void Pause(DWORD milliseconds) override;
};

} // namespace qelt
