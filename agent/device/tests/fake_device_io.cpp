#include "fake_device_io.h"

#include <cstdio>
#include <cstring>

#include "device_link.h"

namespace qelt::test {

std::string HexBytes(const uint8_t* bytes, size_t count)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof(pair), "%02X", bytes[i]);
        if (i > 0)
            text += ' ';
        text += pair;
    }
    return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) { return HexBytes(bytes.data(), bytes.size()); }

std::vector<std::string> FakeDeviceIo::Journal() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_journal;
}

std::vector<std::string> FakeDeviceIo::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> requests;
    for (const std::string& line : m_journal)
        if (line.rfind("ioctl ", 0) == 0)
            requests.push_back(line);
    return requests;
}

void FakeDeviceIo::ClearJournal()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_journal.clear();
}

void FakeDeviceIo::Note(const std::string& line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_journal.push_back(line);
}

void FakeDeviceIo::FailOpen(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_openError = error;
}

void FakeDeviceIo::FailRequest(DWORD code, DWORD error, int count, int skip)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failures[code] = {error, count, skip};
}

void FakeDeviceIo::ClearFailures()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_failures.clear();
    m_openError = 0;
}

bool FakeDeviceIo::InjectEvent(uint32_t word)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back(word);
    return m_semaphore && ReleaseSemaphore(m_semaphore, 1, nullptr);
}

bool FakeDeviceIo::InjectEvents(const std::vector<uint32_t>& words)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.insert(m_events.end(), words.begin(), words.end());
    return m_semaphore && ReleaseSemaphore(m_semaphore, static_cast<LONG>(words.size()), nullptr);
}

bool FakeDeviceIo::SignalOnly()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_semaphore && ReleaseSemaphore(m_semaphore, 1, nullptr);
}

int FakeDeviceIo::RequestsOnClosedHandles() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requestsOnClosedHandles;
}

DWORD FakeDeviceIo::Open(const wchar_t*, HANDLE* device)
{
    std::lock_guard<std::mutex> guard(m_lock);
    *device = nullptr;
    m_journal.push_back("open");
    if (m_openError != 0)
        return m_openError;
    *device = reinterpret_cast<HANDLE>(m_nextHandle);
    m_nextHandle += 4;
    m_openHandles.insert(*device);
    return 0;
}

DWORD FakeDeviceIo::Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                            DWORD outputLength)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_openHandles.count(device))
        ++m_requestsOnClosedHandles;
    char head[64];
    std::snprintf(head, sizeof(head), "ioctl %06lX in=", static_cast<unsigned long>(code));
    std::string line = head;
    if (code != IOCTL_READ_EVENT)  // the read's input is the previous word, without meaning
        line += HexBytes(static_cast<const uint8_t*>(input), input ? inputLength : 0);
    line += " out=" + std::to_string(outputLength);
    if (output && output != input)
        line += " separate";
    m_journal.push_back(line);

    auto failure = m_failures.find(code);
    if (failure != m_failures.end() && failure->second.count != 0) {
        if (failure->second.skip > 0) {
            --failure->second.skip;
        } else {
            if (failure->second.count > 0)
                --failure->second.count;
            return failure->second.error;
        }
    }
    if (code == IOCTL_HOOK && inputLength == 4) {
        uint32_t value = 0;
        std::memcpy(&value, input, 4);
        m_semaphore = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
    } else if (code == IOCTL_READ_EVENT && outputLength == 4) {
        if (m_events.empty())
            return ERROR_NO_MORE_ITEMS;
        const uint32_t word = m_events.front();
        m_events.pop_front();
        std::memcpy(output, &word, 4);
    }
    return 0;
}

void FakeDeviceIo::Close(HANDLE device)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_journal.push_back(m_openHandles.erase(device) ? "close" : "close of unknown handle");
}

void FakeDeviceIo::Pause(DWORD milliseconds)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_journal.push_back("pause " + std::to_string(milliseconds));
}

} // namespace qelt::test
