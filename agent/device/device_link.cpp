#include "device_link.h"

#include <vector>

#include "diag.h"

namespace qelt {

namespace {

constexpr unsigned PAUSE_AFTER_SMALL_REQUEST_MS = 200;
constexpr unsigned PAUSE_PER_DATA_CHUNK_MS = 500;
constexpr unsigned PAUSE_BETWEEN_PROFILE_REQUESTS_MS = 50;
constexpr unsigned PAUSE_DOWNLOAD_STEP_MS = 500;
constexpr unsigned PAUSE_DOWNLOAD_END_MS = 100;
constexpr unsigned PAUSE_RESET_STEP_MS = 100;
constexpr unsigned PAUSE_RESET_END_MS = 500;
constexpr LONG EVENT_SEMAPHORE_MAXIMUM = 100;
constexpr SIZE_T READER_STACK_SIZE = 4096;
constexpr DWORD READER_JOIN_NOTICE_MS = 5000;

uint8_t WireProfileNumber(int profile) { return static_cast<uint8_t>((profile + 1) & 0xFF); }

// A progress point of a download or reset and the pause after it.
Job::Step Progress(std::shared_ptr<ReportProgress> progress, int percent, unsigned pauseMs)
{
    return [progress = std::move(progress), percent, pauseMs] {
        progress->Percent(percent);
        return pauseMs;
    };
}

} // namespace

bool IsDeviceGoneError(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_ACCESS_DENIED:
        return true;
    default:
        return false;
    }
}

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
        if (bStopReader) {
            Diag(L"Thread exit!\n");
            return;
        }
        if (m_readsMissed > 0) {
            CatchUp();
            if (bStopReader) {  // the catch-up may have taken the shut-down's count
                Diag(L"Thread exit!\n");
                return;
            }
            continue;
        }
        DWORD error = 0;
        // A closed device consumes the count without a read; a gone one drops its words with the
        // hook, so neither leaves a word behind to catch up on.
        if (ReadEvent(&error) == Read::Failed)
            ++m_readsMissed;
    }
}

DeviceLink::Read DeviceLink::ReadEvent(DWORD* error)
{
    *error = 0;
    {
        std::lock_guard<std::mutex> guard(m_deviceLock);
        if (!m_hDevice)
            return Read::DeviceClosed;  // a release while the device is closed: consumed, no read
        *error = m_io.Control(m_hDevice, IOCTL_READ_EVENT, &m_eventBuffer, sizeof(m_eventBuffer), &m_eventBuffer,
                              sizeof(m_eventBuffer));
    }
    if (*error != 0) {
        if (m_readsMissed == 0 || *error != ERROR_NO_MORE_ITEMS)
            DiagError(L"read call", *error);
        if (IsDeviceGoneError(*error)) {
            NoteIfGone(*error);
            return Read::Gone;
        }
        return Read::Failed;
    }
    Diag(L"read: %x\n", static_cast<unsigned>(m_eventBuffer));
    if (m_sink)
        m_sink->OnKeyEvent(static_cast<uint16_t>(m_eventBuffer & 0xFFFF));
    return Read::Word;
}

void DeviceLink::NoteIfGone(DWORD error)
{
    if (IsDeviceGoneError(error) && m_sink)
        m_sink->OnDeviceGone();
}

void DeviceLink::CatchUp()
{
    // Every count released for a word is one read; the failed reads used up counts of words that
    // are still pending. Read them all now, then take back the counts of the words read beyond
    // those, so that afterwards each count is again one read.
    int wordsRead = 0;
    DWORD error = 0;
    Read read;
    while ((read = ReadEvent(&error)) == Read::Word)
        ++wordsRead;
    if (read == Read::DeviceClosed || read == Read::Gone) {
        m_readsMissed = 0;  // closed or gone meanwhile: the driver dropped the hook and its words
        return;
    }
    if (error != ERROR_NO_MORE_ITEMS) {
        ++m_readsMissed;  // this wake's count is used up too; try again on the next one
        return;
    }
    Diag(L"reader: caught up, %d event word(s) read after %d failed read(s)\n", wordsRead, m_readsMissed);
    for (int extra = wordsRead - m_readsMissed - 1; extra > 0 && !bStopReader; --extra) {
        if (WaitForSingleObject(m_eventSemaphore.Get(), 0) != WAIT_OBJECT_0)
            break;
    }
    m_readsMissed = 0;
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
    ++m_generation;
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
    ++m_generation;
}

bool DeviceLink::IsOpen() const
{
    std::lock_guard<std::mutex> guard(m_deviceLock);
    return m_hDevice != nullptr;
}

uint64_t DeviceLink::DeviceGeneration() const
{
    std::lock_guard<std::mutex> guard(m_deviceLock);
    return m_generation;
}

bool DeviceLink::CheckDevice()
{
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> guard(m_deviceLock);
        if (!m_hDevice)
            return false;
        uint8_t number = m_lastDriverProfile;
        error = m_io.Control(m_hDevice, IOCTL_SET_DRIVER_PROFILEID, &number, sizeof(number), &number, sizeof(number));
    }
    if (error == 0)
        return true;
    DiagError(L"device check (IOCTL_SET_DRIVER_PROFILEID)", error);
    return !IsDeviceGoneError(error);
}

DeviceLink::Sent DeviceLink::Request(DWORD code, const wchar_t* failureName, void* buffer, DWORD length,
                                     bool sameBuffer)
{
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> guard(m_deviceLock);
        if (!m_hDevice)
            return Sent::DeviceClosed;
        error = m_io.Control(m_hDevice, code, buffer, length, sameBuffer ? buffer : nullptr, sameBuffer ? length : 0);
    }
    if (error != 0) {
        DiagError(failureName, error);
        NoteIfGone(error);
        return Sent::Failed;
    }
    return Sent::Yes;
}

bool DeviceLink::SendDriverProfileID(int profile)
{
    Diag(L"SendDriverProfileID.....\n");
    uint8_t number = WireProfileNumber(profile);
    if (Request(IOCTL_SET_DRIVER_PROFILEID, L"IOCTL_SET_DRIVER_PROFILEID", &number, sizeof(number), true) != Sent::Yes)
        return false;
    {
        std::lock_guard<std::mutex> guard(m_deviceLock);
        m_lastDriverProfile = WireProfileNumber(profile);
    }
    Diag(L"SendDriverProfileID.....finish...\n");
    return true;
}

// Shared by the steps of one download.
struct DeviceLink::Download {
    bool failed = false;           // some request failed: the keyboard does not hold the profile
    bool tablesDisagree = false;   // the index table or the data block did not arrive
    uint64_t generation = 0;       // the device open the download started on
    bool deviceWasOpen = false;
    bool deviceChanged = false;    // it closed or another open began under the download
};

Job DeviceLink::SendTable(int profile, Table table, std::shared_ptr<Download> download)
{
    Job job;
    if (!CheckProfile(profile))
        return job;
    // The steps look at the device when they run: it may open or close while a job waits.
    auto numbered = std::make_shared<bool>(false);
    job.Then([this, profile, numbered, download] {
        *numbered = false;
        if (download && DeviceChangedUnder(*download))
            return 0u;
        *numbered = IsOpen() && SendDriverProfileID(profile);
        return *numbered ? PAUSE_AFTER_SMALL_REQUEST_MS : 0u;
    });
    job.Then([this, profile, table, numbered, download] { return SendTableNow(profile, table, *numbered, download.get()); });
    return job;
}

bool DeviceLink::DeviceChangedUnder(Download& download)
{
    if (download.deviceChanged)
        return true;
    if (DeviceGeneration() == download.generation && (IsOpen() || !download.deviceWasOpen))
        return false;
    // Closed (or opened again) under the download: the rest would land on a device that holds
    // part of it, or nowhere. The download failed.
    download.deviceChanged = true;
    download.failed = true;
    Diag(L"ERROR: the device closed or opened again during the download; the remaining tables are not sent\n");
    return true;
}

unsigned DeviceLink::SendTableNow(int profile, Table table, bool numbered, Download* download)
{
    static const wchar_t* const kNames[] = {L"IOCTL_SEND_INDEXTABLE", L"IOCTL_SEND_DATA", L"IOCTL_SEND_KEYMAPTABLE"};
    static const DWORD kCodes[] = {IOCTL_SEND_INDEXTABLE, IOCTL_SEND_DATA, IOCTL_SEND_KEYMAPTABLE};
    const size_t which = static_cast<size_t>(table);
    if (download && DeviceChangedUnder(*download))
        return 0;
    if (!IsOpen())
        return 0;
    if (table == Table::KeyMap && download && download->tablesDisagree) {
        // The keyboard's index table and data block for this profile may not belong together:
        // no key may use them until a download succeeds.
        m_encoder.ClearKeyMapEntries(profile);
        Diag(L"Profile %d: index table or data block not sent, sending the cleared key mapping\n", profile);
    }
    std::vector<uint8_t> buffer;
    switch (table) {
    case Table::Index:
        buffer = m_encoder.BuildIndexTable(profile);
        break;
    case Table::Data:
        buffer = m_encoder.BuildMacroDataBlock(profile);
        for (int slot = 0; slot < BUTTON_COUNT; ++slot)
            Diag(L"macro data Profile %d,TButton[%d] DataLength=%u\n", profile, slot,
                 static_cast<unsigned>(m_encoder.Entry(profile, slot).wDataLength));
        break;
    case Table::KeyMap:
        buffer = m_encoder.BuildKeyMapTable(profile);
        break;
    }
    Sent sent = Sent::Failed;
    if (!numbered) {
        // Without its own profile number the table would land under whichever number came last.
        Diag(L"ERROR: %ls not sent: its IOCTL_SET_DRIVER_PROFILEID failed\n", kNames[which]);
    } else {
        const DWORD length = static_cast<DWORD>(buffer.size());
        uint8_t empty = 0;
        void* data = buffer.empty() ? static_cast<void*>(&empty) : static_cast<void*>(buffer.data());
        sent = Request(kCodes[which], kNames[which], data, length, true);
    }
    if (sent == Sent::DeviceClosed && download && download->deviceWasOpen) {
        DeviceChangedUnder(*download);
        return 0;
    }
    if (sent == Sent::DeviceClosed)
        return 0;
    if (sent == Sent::Failed) {
        if (download) {
            download->failed = true;
            download->tablesDisagree = download->tablesDisagree || table != Table::KeyMap;
        }
        return 0;
    }
    if (table == Table::Data)  // the device stores 512 bytes at a time
        return ((static_cast<DWORD>(buffer.size()) >> 9) + 1) * PAUSE_PER_DATA_CHUNK_MS;
    return PAUSE_AFTER_SMALL_REQUEST_MS;
}

Job DeviceLink::SendIndexTable(int profile) { return SendTable(profile, Table::Index, nullptr); }
Job DeviceLink::SendMacroDataBlock2Device(int profile) { return SendTable(profile, Table::Data, nullptr); }
Job DeviceLink::SendKeyMapTable(int profile) { return SendTable(profile, Table::KeyMap, nullptr); }

Job DeviceLink::SenDeviceCurProfileID(int profile)
{
    return MakeCurrent([profile] { return profile; });
}

Job DeviceLink::MakeCurrent(std::function<int()> profileOf)
{
    struct State {
        bool send = false;
        int number = 0;
    };
    auto state = std::make_shared<State>();
    Job job;
    job.Then([this, profileOf = std::move(profileOf), state] {
        const int profile = profileOf();
        state->send = IsOpen() && CheckProfile(profile);
        if (!state->send)
            return 0u;
        // The keyboard knows PC mode as profile number 0.
        state->number = profile == PC_MODE_PROFILE ? -1 : profile;
        return SendDriverProfileID(state->number) ? PAUSE_AFTER_SMALL_REQUEST_MS : 0u;
    });
    job.Then([state] { return state->send ? PAUSE_BETWEEN_PROFILE_REQUESTS_MS : 0u; });
    job.Then([this, state] {
        if (!state->send)
            return 0u;
        Diag(L"SenDeviceCurProfileID.....\n");
        uint8_t number = WireProfileNumber(state->number);
        const Sent sent = Request(IOCTL_SET_PROFILEID, L"IOCTL_SET_PROFILEID", &number, sizeof(number), false);
        return sent == Sent::Yes ? PAUSE_AFTER_SMALL_REQUEST_MS : 0u;
    });
    return job;
}

bool DeviceLink::CheckProfile(int profile) const
{
    if (DeviceTableEncoder::ValidProfile(profile))
        return true;
    Diag(L"device link: no profile %d, nothing sent\n", profile);
    return false;
}

Job DeviceLink::DownloadProfile(int profile, int keyNum, std::shared_ptr<ReportProgress> progress)
{
    auto download = std::make_shared<Download>();
    Job job;
    job.Then([this, profile, keyNum, download] {
        {
            std::lock_guard<std::mutex> guard(m_deviceLock);
            download->generation = m_generation;
            download->deviceWasOpen = m_hDevice != nullptr;
        }
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
        return 0u;
    });
    job.Then(Progress(progress, 25, PAUSE_DOWNLOAD_STEP_MS));
    job.Then(SendTable(profile, Table::Index, download));
    job.Then(Progress(progress, 50, PAUSE_DOWNLOAD_STEP_MS));
    job.Then(SendTable(profile, Table::Data, download));
    job.Then(Progress(progress, 75, PAUSE_DOWNLOAD_STEP_MS));
    job.Then(SendTable(profile, Table::KeyMap, download));
    job.Then(Progress(progress, 100, PAUSE_DOWNLOAD_STEP_MS));
    job.Then([] { return PAUSE_DOWNLOAD_END_MS; });
    job.Then([profile, progress, download] {
        if (download->failed) {
            Diag(L"Profile %d: the keyboard was not updated\n", profile);
            progress->NotUpdated();
        }
        progress->Done();
        return 0u;
    });
    return job;
}

Job DeviceLink::ResetProfile(int profile, std::function<int()> currentProfile, std::shared_ptr<ReportProgress> progress)
{
    Job job;
    job.Then([profile] {
        Diag(L"reseting Profile %d...\n", profile);
        return 0u;
    });
    job.Then(Progress(progress, 25, PAUSE_RESET_STEP_MS));
    job.Then(Progress(progress, 50, PAUSE_RESET_STEP_MS));
    job.Then(Progress(progress, 75, PAUSE_RESET_STEP_MS));
    job.Then([this, profile] {
        m_encoder.ClearKeyMapEntries(profile);
        return 0u;
    });
    job.Then(SendKeyMapTable(profile));
    job.Then(Progress(progress, 100, PAUSE_RESET_END_MS));
    // The profile current when the reset gets there: a profile key may have been pressed meanwhile.
    job.Then(MakeCurrent(std::move(currentProfile)));
    job.Then([progress] {
        progress->Done();
        return 0u;
    });
    return job;
}

void DeviceLink::RunToEnd(Job job)
{
    job.RunToEnd([this](unsigned ms) { m_io.Pause(ms); });
}

} // namespace qelt
