#include "device_link.h"

#include <vector>

#include "diag.h"

namespace qelt {

namespace {

constexpr DWORD PAUSE_AFTER_SMALL_REQUEST_MS = 200;
constexpr DWORD PAUSE_PER_DATA_CHUNK_MS = 500;
constexpr DWORD PAUSE_BETWEEN_PROFILE_REQUESTS_MS = 50;
constexpr DWORD PAUSE_DOWNLOAD_STEP_MS = 500;
constexpr DWORD PAUSE_DOWNLOAD_END_MS = 100;
constexpr DWORD PAUSE_RESET_STEP_MS = 100;
constexpr DWORD PAUSE_RESET_END_MS = 500;
constexpr LONG EVENT_SEMAPHORE_MAXIMUM = 100;
constexpr SIZE_T READER_STACK_SIZE = 4096;
constexpr DWORD READER_JOIN_NOTICE_MS = 5000;

uint8_t WireProfileNumber(int profile) { return static_cast<uint8_t>((profile + 1) & 0xFF); }

} // namespace

DeviceLink::DeviceLink(DeviceIo& io, DeviceTableEncoder& encoder) : m_io(io), m_encoder(encoder)
{
    m_eventSemaphore.Reset(CreateSemaphoreW(nullptr, 0, EVENT_SEMAPHORE_MAXIMUM, nullptr));
    if (!m_eventSemaphore)
        DiagLastError(L"CreateSemaphoreW");
}

DeviceLink::~DeviceLink()
{
    if (IsOpen())
        CloseUSBDriver();
    StopReader();
}

bool DeviceLink::StartReader(KeyEventSink& sink)
{
    if (m_readerThread)
        return true;
    if (!m_eventSemaphore)
        return false;
    m_sink = &sink;
    bStopReader = false;
    m_readerThread.Reset(CreateThread(nullptr, READER_STACK_SIZE, &DeviceLink::ReaderThreadEntry, this, 0, nullptr));
    if (!m_readerThread) {
        DiagLastError(L"CreateThread");
        return false;
    }
    return true;
}

void DeviceLink::StopReader()
{
    if (!m_readerThread)
        return;
    bStopReader = true;
    if (!ReleaseSemaphore(m_eventSemaphore.Get(), 1, nullptr))
        DiagLastError(L"ReleaseSemaphore");
    // The thread may be inside a key event action; its handles and this object must outlive it.
    if (WaitForSingleObject(m_readerThread.Get(), READER_JOIN_NOTICE_MS) == WAIT_TIMEOUT) {
        Diag(L"reader thread still busy with an event, waiting for it\n");
        WaitForSingleObject(m_readerThread.Get(), INFINITE);
    }
    m_readerThread.Reset();
}

DWORD WINAPI DeviceLink::ReaderThreadEntry(void* self)
{
    static_cast<DeviceLink*>(self)->ReaderThread();
    return 0;
}

void DeviceLink::ReaderThread()
{
    if (bStopReader) {
        Diag(L"Thread exit!\n");
        return;
    }
    for (;;) {
        WaitForSingleObject(m_eventSemaphore.Get(), INFINITE);
        bool read = false;
        DWORD error = 0;
        {
            std::lock_guard<std::mutex> guard(m_deviceLock);
            if (m_hDevice) {
                read = true;
                error = m_io.Control(m_hDevice, IOCTL_READ_EVENT, &m_eventBuffer, sizeof(m_eventBuffer),
                                     &m_eventBuffer, sizeof(m_eventBuffer));
            }
        }
        if (read) {
            if (error == 0) {
                Diag(L"read: %x\n", static_cast<unsigned>(m_eventBuffer));
                if (m_sink)
                    m_sink->OnKeyEvent(static_cast<uint16_t>(m_eventBuffer & 0xFFFF));
            } else {
                DiagError(L"read call", error);
            }
        }
        if (bStopReader) {
            Diag(L"Thread exit!\n");
            return;
        }
    }
}

bool DeviceLink::OpenUSBDriver()
{
    std::lock_guard<std::mutex> guard(m_deviceLock);
    if (m_hDevice)
        CloseLocked();  // a second open would otherwise leak the hooked handle
    HANDLE device = nullptr;
    DWORD error = m_io.Open(DEVICE_NAME, &device);
    if (error != 0 || device == nullptr) {
        Diag(L"ERROR: Cannot create device, error=%08lx\n", static_cast<unsigned long>(error));
        m_hDevice = nullptr;
        return false;
    }
    m_hDevice = device;
    // The driver signals this semaphore once per pending key event.
    uint32_t semaphoreValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_eventSemaphore.Get()));
    error = m_io.Control(m_hDevice, IOCTL_HOOK, &semaphoreValue, sizeof(semaphoreValue), nullptr, 0);
    if (error != 0) {
        DiagError(L"hook device", error);
        m_io.Close(m_hDevice);
        m_hDevice = nullptr;
        return false;
    }
    return true;
}

void DeviceLink::CloseUSBDriver()
{
    std::lock_guard<std::mutex> guard(m_deviceLock);
    if (m_hDevice)
        CloseLocked();
}

void DeviceLink::CloseLocked()
{
    const DWORD error = m_io.Control(m_hDevice, IOCTL_UNHOOK, nullptr, 0, nullptr, 0);
    if (error != 0)
        DiagError(L"UNhook device", error);
    m_io.Close(m_hDevice);
    m_hDevice = nullptr;
}

bool DeviceLink::IsOpen() const
{
    std::lock_guard<std::mutex> guard(m_deviceLock);
    return m_hDevice != nullptr;
}

bool DeviceLink::Request(DWORD code, const wchar_t* failureName, void* buffer, DWORD length, bool sameBuffer)
{
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> guard(m_deviceLock);
        if (!m_hDevice)
            return false;
        error = m_io.Control(m_hDevice, code, buffer, length, sameBuffer ? buffer : nullptr, sameBuffer ? length : 0);
    }
    if (error != 0) {
        DiagError(failureName, error);
        return false;
    }
    return true;
}

void DeviceLink::SendDriverProfileID(int profile)
{
    Diag(L"SendDriverProfileID.....\n");
    uint8_t number = WireProfileNumber(profile);
    if (Request(IOCTL_SET_DRIVER_PROFILEID, L"IOCTL_SET_DRIVER_PROFILEID", &number, sizeof(number), true)) {
        Diag(L"SendDriverProfileID.....finish...\n");
        m_io.Pause(PAUSE_AFTER_SMALL_REQUEST_MS);
    }
}

void DeviceLink::SendIndexTable(int profile)
{
    if (!IsOpen() || !CheckProfile(profile))
        return;
    std::vector<uint8_t> table = m_encoder.BuildIndexTable(profile);
    SendDriverProfileID(profile);
    if (Request(IOCTL_SEND_INDEXTABLE, L"IOCTL_SEND_INDEXTABLE", table.data(), static_cast<DWORD>(table.size()), true))
        m_io.Pause(PAUSE_AFTER_SMALL_REQUEST_MS);
}

void DeviceLink::SendMacroDataBlock2Device(int profile)
{
    if (!IsOpen() || !CheckProfile(profile))
        return;
    std::vector<uint8_t> block = m_encoder.BuildMacroDataBlock(profile);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        Diag(L"macro data Profile %d,TButton[%d] DataLength=%u\n", profile, slot,
             static_cast<unsigned>(m_encoder.Entry(profile, slot).wDataLength));
    if (IsOpen())
        SendDriverProfileID(profile);
    const DWORD length = static_cast<DWORD>(block.size());
    uint8_t emptyBlock = 0;
    void* buffer = block.empty() ? static_cast<void*>(&emptyBlock) : static_cast<void*>(block.data());
    if (Request(IOCTL_SEND_DATA, L"IOCTL_SEND_DATA", buffer, length, true))
        m_io.Pause(((length >> 9) + 1) * PAUSE_PER_DATA_CHUNK_MS);  // the device stores 512 bytes at a time
}

void DeviceLink::SendKeyMapTable(int profile)
{
    if (!IsOpen() || !CheckProfile(profile))
        return;
    std::vector<uint8_t> table = m_encoder.BuildKeyMapTable(profile);
    SendDriverProfileID(profile);
    if (Request(IOCTL_SEND_KEYMAPTABLE, L"IOCTL_SEND_KEYMAPTABLE", table.data(), static_cast<DWORD>(table.size()), true))
        m_io.Pause(PAUSE_AFTER_SMALL_REQUEST_MS);
}

void DeviceLink::SenDeviceCurProfileID(int profile)
{
    if (!IsOpen() || !CheckProfile(profile))
        return;
    if (profile == PC_MODE_PROFILE)
        profile = -1;  // the keyboard knows PC mode as profile number 0
    SendDriverProfileID(profile);
    m_io.Pause(PAUSE_BETWEEN_PROFILE_REQUESTS_MS);
    Diag(L"SenDeviceCurProfileID.....\n");
    uint8_t number = WireProfileNumber(profile);
    if (Request(IOCTL_SET_PROFILEID, L"IOCTL_SET_PROFILEID", &number, sizeof(number), false))
        m_io.Pause(PAUSE_AFTER_SMALL_REQUEST_MS);
}

bool DeviceLink::CheckProfile(int profile) const
{
    if (DeviceTableEncoder::ValidProfile(profile))
        return true;
    Diag(L"device link: no profile %d, nothing sent\n", profile);
    return false;
}

void DeviceLink::DownloadProfile(int profile, int keyNum, ReportProgress& progress)
{
    Diag(L"sending data to device...\n");
    if (DeviceTableEncoder::ValidProfile(profile)) {
        for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
            const uint8_t mappingKey = m_encoder.Profile(profile).TButton[slot].MappingKey;
            Diag(L"sending data to device Profile %d,TButton[%d].MappingKey=%d\n", profile, slot, mappingKey);
            if (mappingKey != UNASSIGNED)
                break;
        }
    }
    m_encoder.FormatKeyMappingData(keyNum, profile);
    progress.Percent(25);
    m_io.Pause(PAUSE_DOWNLOAD_STEP_MS);
    SendIndexTable(profile);
    progress.Percent(50);
    m_io.Pause(PAUSE_DOWNLOAD_STEP_MS);
    SendMacroDataBlock2Device(profile);
    progress.Percent(75);
    m_io.Pause(PAUSE_DOWNLOAD_STEP_MS);
    SendKeyMapTable(profile);
    progress.Percent(100);
    m_io.Pause(PAUSE_DOWNLOAD_STEP_MS);
    m_io.Pause(PAUSE_DOWNLOAD_END_MS);
    progress.Done();
}

void DeviceLink::ResetProfile(int profile, int currentProfile, ReportProgress& progress)
{
    Diag(L"reseting Profile %d...\n", profile);
    progress.Percent(25);
    m_io.Pause(PAUSE_RESET_STEP_MS);
    progress.Percent(50);
    m_io.Pause(PAUSE_RESET_STEP_MS);
    progress.Percent(75);
    m_io.Pause(PAUSE_RESET_STEP_MS);
    m_encoder.ClearKeyMapEntries(profile);
    SendKeyMapTable(profile);
    progress.Percent(100);
    m_io.Pause(PAUSE_RESET_END_MS);
    SenDeviceCurProfileID(currentProfile);
    progress.Done();
}

} // namespace qelt
