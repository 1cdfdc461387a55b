#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "device_link.h"

namespace qelt::test {

// Event words the reader thread delivers, for a test thread to wait on.
class CollectingSink final : public KeyEventSink {
public:
    void OnKeyEvent(uint16_t word) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_words.push_back(word);
        m_changed.notify_all();
    }
    void OnDeviceGone() override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_gone;
        m_changed.notify_all();
    }
    int WaitForGone(int count)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_gone >= count; });
        return m_gone;
    }
    int Gone()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_gone;
    }
    std::vector<uint16_t> WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_words.size() >= count; });
        return m_words;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<uint16_t> m_words;
    int m_gone = 0;
};

} // namespace qelt::test
