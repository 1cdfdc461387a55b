#pragma once
// The agent's link to the keyboard's filter driver: opening and hooking its control device, the
// control requests that carry the device tables and profile numbers, the download and reset
// sequences with their pauses and progress points, and the reader thread that fetches key events.
//
// Threads: the window thread runs open/close and the jobs' steps; the reader thread only reads
// events. One lock serialises every request against the device handle, so a close never races a
// read. A job's steps refer to the link and its encoder: run them while both live.
#include "device_io.h"
#include "device_tables.h"
#include "job.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "handles.h"

namespace qelt {

constexpr DWORD IOCTL_HOOK = 0x222400;
constexpr DWORD IOCTL_UNHOOK = 0x222404;
constexpr DWORD IOCTL_READ_EVENT = 0x222408;
constexpr DWORD IOCTL_SET_DRIVER_PROFILEID = 0x222480;
constexpr DWORD IOCTL_SEND_INDEXTABLE = 0x222494;
constexpr DWORD IOCTL_SEND_DATA = 0x22249C;
constexpr DWORD IOCTL_SEND_KEYMAPTABLE = 0x2224A4;
constexpr DWORD IOCTL_SET_PROFILEID = 0x222544;

constexpr wchar_t DEVICE_NAME[] = L"\\\\.\\MVKBFLTR";

// Where a download or reset reports how far it has come (the agent forwards these to the editor's
// "DLGLoading" dialog). Called on the thread that runs the job.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    virtual void Percent(int percent) = 0;  // 25, 50, 75, 100
    // A request of the download failed: the keyboard does not hold the profile just encoded.
    // Called at most once, before Done.
    virtual void NotUpdated() = 0;
    virtual void Done() = 0;                // once, after 100
};

// Receives each key event word the reader thread reads (the agent runs its key event actions).
// Called on the reader thread, without any link lock held; it may take as long as it needs, but
// must not wait for the window thread while that thread is shutting the link down.
class KeyEventSink {
public:
    virtual ~KeyEventSink() = default;
    virtual void OnKeyEvent(uint16_t eventWord) = 0;
    // A read or request failed with an error meaning the device handle is gone (the driver was
    // stopped, the keyboard unplugged). Called on the reader thread or the window thread, without
    // any link lock held; the agent then checks the device (CheckDevice) on its window thread.
    virtual void OnDeviceGone() {}
};

// Errors of a request or read that mean the handle no longer reaches the driver: invalid handle,
// file not found, device not connected, operation aborted, and access denied, which a stopped
// driver's old handle gives under Wine.
bool IsDeviceGoneError(DWORD error);

class DeviceLink {
public:
    // io and encoder must outlive the link. Creates the event semaphore (count 0, maximum 100).
    DeviceLink(DeviceIo& io, DeviceTableEncoder& encoder);
    // Closes the device if open and stops the reader thread.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Starts the reader thread (once). Events go to sink until StopReader. False if the thread
    // or the semaphore could not be created (diagnosed).
    bool StartReader(KeyEventSink& sink);
    // Sets the stop flag, wakes the thread and waits for it to end before its handles close.
    // The wait has no limit: a sink that blocks for ever (for example a SendMessageW to a hung
    // window) blocks the shut-down, so sinks should use bounded waits such as SendMessageTimeoutW.
    void StopReader();

    // Opens and hooks the device. An already open device is closed (unhooked) first.
    bool OpenUSBDriver();
    // Unhooks (a failure is only reported) and closes; nothing when the device is closed.
    void CloseUSBDriver();
    bool IsOpen() const;
    // Checks the open handle with IOCTL_SET_DRIVER_PROFILEID repeating the number last sent: it
    // selects the profile the next table is for, which every table send sets again anyway, and
    // leaves the keyboard's tables, current profile and pending key events as they are. False when
    // the device is closed or the request failed with an error meaning the handle is gone; an
    // answer with another error still shows a live driver.
    bool CheckDevice();

    // The sends and sequences are jobs (job.h): their steps make one request each and return the
    // pause that follows it, so the caller's thread need not sleep through them. A table is sent
    // only after its own profile-number request succeeded.
    Job SendIndexTable(int profile);
    Job SendMacroDataBlock2Device(int profile);
    Job SendKeyMapTable(int profile);
    // Makes profile current on the keyboard; profile 5 (PC mode) is number 0 on the wire.
    Job SenDeviceCurProfileID(int profile);

    // Encodes profile with the key position table chosen by keyNum and sends its three tables.
    // Progress 25, 50, 75, 100 and Done come even when the device is closed or a request fails.
    // When the index table or the data block does not arrive, the key mapping sent last is the
    // cleared one, so no key uses tables that disagree; any failed request reports NotUpdated.
    Job DownloadProfile(int profile, int keyNum, std::shared_ptr<ReportProgress> progress);
    // Clears the profile's key mapping on the keyboard, then makes the profile current that
    // currentProfile gives at that moment.
    Job ResetProfile(int profile, std::function<int()> currentProfile, std::shared_ptr<ReportProgress> progress);

    // Runs a job to its end on the calling thread, pausing through the DeviceIo (for callers
    // without a message loop: tools, benchmarks, tests).
    void RunToEnd(Job job);

    HANDLE EventSemaphore() const { return m_eventSemaphore.Get(); }

private:
    enum class Sent { Yes, Failed, DeviceClosed };
    enum class Read { Word, Failed, Gone, DeviceClosed };
    struct Download;  // what one download's steps learn from each other

    static DWORD WINAPI ReaderThreadEntry(void* self);
    void ReaderThread();
    // One read of an event word, acted on when it succeeds; the error of a failed read in *error.
    Read ReadEvent(DWORD* error);
    // Reads until the driver has no word left, acting on each: after a failed read the driver
    // may hold a word whose semaphore count that read used up.
    void CatchUp();
    // One request under the device lock. On failure writes "ERROR: <name> failed, error=<hex>\n".
    Sent Request(DWORD code, const wchar_t* failureName, void* buffer, DWORD length, bool sameBuffer);
    bool SendDriverProfileID(int profile);
    // Which open of the device the link holds: changes at every open and close, so a download
    // notices the device closing or opening under it.
    uint64_t DeviceGeneration() const;
    void NoteIfGone(DWORD error);
    // SenDeviceCurProfileID for the profile profileOf gives when the job gets there.
    Job MakeCurrent(std::function<int()> profileOf);
    enum class Table { Index, Data, KeyMap };
    // The two steps of one table: its profile number, then the table itself.
    Job SendTable(int profile, Table table, std::shared_ptr<Download> download);
    unsigned SendTableNow(int profile, Table table, bool numbered, Download* download);
    // True (and the download marked failed, once diagnosed) when the device closed or opened
    // again since the download started.
    bool DeviceChangedUnder(Download& download);
    bool CheckProfile(int profile) const;
    void CloseLocked();

    DeviceIo& m_io;
    DeviceTableEncoder& m_encoder;
    mutable std::mutex m_deviceLock;
    HANDLE m_hDevice = nullptr;  // guarded by m_deviceLock
    uint64_t m_generation = 0;   // guarded by m_deviceLock
    uint8_t m_lastDriverProfile = 1;  // guarded by m_deviceLock: the number the check repeats
    UniqueKernelObject m_eventSemaphore;
    UniqueKernelObject m_readerThread;
    KeyEventSink* m_sink = nullptr;
    std::atomic<bool> bStopReader{false};
    uint32_t m_eventBuffer = 0;  // reader thread only; holds the previous event word
    int m_readsMissed = 0;       // reader thread only: failed reads since the last catch-up
};

} // namespace qelt
