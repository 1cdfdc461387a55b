#pragma once
// Recording fakes of the agent's seams. Every call lands in one shared journal, so tests see the
// order of effects across the seams.
#include "agent_seams.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qelt::testing {

struct Journal {
    std::vector<std::string> entries;
    void Add(const char* format, int a = 0, int b = 0)
    {
        char text[128];
        std::snprintf(text, sizeof text, format, a, b);
        entries.emplace_back(text);
    }
    template <typename... Args>
    void Addf(const char* format, Args... args)
    {
        char text[256];
        std::snprintf(text, sizeof text, format, args...);
        entries.emplace_back(text);
    }
};

class FakeHost : public AgentHost {
public:
    explicit FakeHost(Journal& journal) : m_journal(journal) {}
    void KeyTap(uint8_t vk, bool extended) override { m_journal.Add("tap %02X ext=%d", vk, extended); }
    void StartTimer(unsigned id, unsigned ms) override { m_journal.Add("timer start %d %d", int(id), int(ms)); }
    void StopTimer(unsigned id) override { m_journal.Add("timer stop %d", int(id)); }
    void Pause(unsigned ms) override { m_journal.Add("pause %d", int(ms)); }
    void StartProgram(const std::wstring& path) override
    {
        m_journal.Addf("start %ls", path.c_str());
    }
    std::optional<unsigned> WindowsMajorVersion() override { return version; }
    std::optional<unsigned> version = 10u;

private:
    Journal& m_journal;
};

class FakePeers : public PeerWindows {
public:
    explicit FakePeers(Journal& journal) : m_journal(journal) {}
    void NotifyEditorProfile(int p) override { m_journal.Add("editor profile %d", p); }
    void CloseEditor() override { m_journal.Add("editor close"); }
    void ShowOsd(const std::wstring& text) override { m_journal.Addf("osd %ls", text.c_str()); }
    uintptr_t WaitForLoadingWindow() override
    {
        m_journal.Add("wait loading");
        return loadingWindow;
    }
    void PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam) override
    {
        m_journal.Addf("progress to %d (%u, %ld)", int(window), wParam, lParam);
    }
    uintptr_t loadingWindow = 77;

private:
    Journal& m_journal;
};

class FakeTray : public TrayIcon {
public:
    explicit FakeTray(Journal& journal) : m_journal(journal) {}
    std::wstring TipText() override { return tip; }
    void Add(const std::wstring& text) override { m_journal.Addf("tray add %ls", text.c_str()); }
    void Remove() override { m_journal.Add("tray remove"); }
    std::wstring tip = L"QELT";

private:
    Journal& m_journal;
};

class FakeSettings : public AgentSettings {
public:
    explicit FakeSettings(Journal& journal) : m_journal(journal) {}
    void Load() override { m_journal.Add("settings load"); }
    int CurrentProfile() const override { return current; }
    void SetCurrentProfile(int p) override
    {
        current = p;
        m_journal.Add("set current %d", p);
    }
    void SetDeviceStatus(int s) override
    {
        status = s;
        m_journal.Add("set status %d", s);
    }
    void WriteConfig() override { m_journal.Add("write config profile=%d status=%d", current, status); }
    void WritePcMode() override { m_journal.Add("write PC_MODE=0"); }
    std::wstring AppPathOf(int profile, int slot) const override
    {
        auto found = paths.find({profile, slot});
        return found == paths.end() ? L"" : found->second;
    }
    int current = 0;
    int status = -1;
    std::map<std::pair<int, int>, std::wstring> paths;

private:
    Journal& m_journal;
};

class FakeLink : public AgentLink {
public:
    explicit FakeLink(Journal& journal) : m_journal(journal) {}
    bool Open() override
    {
        m_journal.Add("link open -> %d", openSucceeds);
        open = openSucceeds;
        return openSucceeds;
    }
    void Close() override
    {
        m_journal.Add("link close");
        open = false;
    }
    bool IsOpen() const override { return open; }
    void DownloadProfile(int p, ProgressSink& progress) override
    {
        m_journal.Add("link download %d", p);
        for (int percent : {25, 50, 75, 100})
            progress.Percent(percent);
        progress.Done();
    }
    void ResetProfile(int p, ProgressSink& progress) override
    {
        m_journal.Add("link reset %d", p);
        for (int percent : {25, 50, 75, 100})
            progress.Percent(percent);
        progress.Done();
    }
    void SetCurrentProfile(int p) override { m_journal.Add("link set current %d", p); }
    bool open = false;
    bool openSucceeds = true;

private:
    Journal& m_journal;
};

} // namespace qelt::testing
