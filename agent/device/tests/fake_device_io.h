#pragma once
// In-process stand-in for the filter driver: records every request and pause as a journal line,
// fails chosen requests, and delivers key events through the semaphore it was hooked with.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device_io.h"

namespace qelt::test {

std::string HexBytes(const uint8_t* bytes, size_t count);  // "0A 00 37"
std::string HexBytes(const std::vector<uint8_t>& bytes);

class FakeDeviceIo final : public DeviceIo {
public:
    // Journal lines:
    //   "open" / "close"                       device opened / a handle closed
    //   "ioctl 222494 in=0A 00 .. out=55"     control code, input bytes, output length
    //   "pause 200"                            a pause in milliseconds
    // and whatever the test adds with Note().
    std::vector<std::string> Journal() const;
    std::vector<std::string> Requests() const;  // only the "ioctl" lines
    void ClearJournal();
    void Note(const std::string& line);

    void FailOpen(DWORD error);
    // Fails the next `count` requests with this code (count < 0: all of them), after letting
    // `skip` of them succeed.
    void FailRequest(DWORD code, DWORD error, int count = -1, int skip = 0);
    void ClearFailures();

    // Queues one event word and signals the hooked semaphore once. A read with no word queued
    // fails with ERROR_NO_MORE_ITEMS, as the driver's does.
    bool InjectEvent(uint32_t word);
    // Queues all the words first, then signals once per word.
    bool InjectEvents(const std::vector<uint32_t>& words);
    // Signals the hooked semaphore without an event.
    bool SignalOnly();
    int RequestsOnClosedHandles() const;

    DWORD Open(const wchar_t* deviceName, HANDLE* device) override;
    DWORD Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                  DWORD outputLength) override;
    void Close(HANDLE device) override;
    void Pause(DWORD milliseconds) override;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_journal;
    DWORD m_openError = 0;
    struct Failure {
        DWORD error;
        int count;
        int skip;
    };
    std::map<DWORD, Failure> m_failures;
    std::deque<uint32_t> m_events;
    std::set<HANDLE> m_openHandles;
    uintptr_t m_nextHandle = 0x100;
    HANDLE m_semaphore = nullptr;
    int m_requestsOnClosedHandles = 0;
};

} // namespace qelt::test
