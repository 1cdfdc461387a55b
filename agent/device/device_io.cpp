#include "device_io.h"

namespace qelt {

DWORD Win32DeviceIo::Open(const wchar_t* deviceName, HANDLE* device)
{
    *device = nullptr;
    HANDLE handle = CreateFileW(deviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    *device = handle;
    return 0;
}

DWORD Win32DeviceIo::Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                             DWORD outputLength)
{
    DWORD returned = 0;
    if (DeviceIoControl(device, code, input, inputLength, output, outputLength, &returned, nullptr))
        return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

void Win32DeviceIo::Close(HANDLE device)
{
    CloseHandle(device);
}

void Win32DeviceIo::Pause(DWORD milliseconds)
{
    Sleep(milliseconds);
}

} // namespace qelt
