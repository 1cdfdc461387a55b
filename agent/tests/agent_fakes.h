#pragma once
// Recording fakes of the agent's seams. Every call lands in one shared journal, so tests see the
// order of effects across the seams.
#include "agent_protocol.h"
#include "agent_seams.h"

#include <cstdio>
#include <map>
#include <memory>
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

// The job timer is plumbing, not an effect: it is kept apart from the journal (jobPause, jobPauses).
class FakeHost : public AgentHost {
public:
    explicit FakeHost(Journal& journal) : m_journal(journal) {}
    void KeyTap(uint8_t vk, bool extended) override { m_journal.Add("tap %02X ext=%d", vk, extended); }
    void StartTimer(unsigned id, unsigned ms) override
    {
        if (id == TIMER_JOB_STEP) {
            jobPause = ms;
            jobPauses.push_back(ms);
            return;
        }
        m_journal.Add("timer start %d %d", int(id), int(ms));
    }
    void StopTimer(unsigned id) override
    {
        if (id == TIMER_JOB_STEP) {
            jobPause.reset();
            return;
        }
        m_journal.Add("timer stop %d", int(id));
    }
    void Pause(unsigned ms) override { m_journal.Add("pause %d", int(ms)); }
    uint64_t NowMs() override { return now; }
    void StartProgram(const std::wstring& path) override
    {
        m_journal.Addf("start %ls", path.c_str());
    }
    std::optional<unsigned> WindowsMajorVersion() override { return version; }
    std::optional<unsigned> version = 10u;
    uint64_t now = 1000;
    std::optional<unsigned> jobPause;  // the job timer while it runs
    std::vector<unsigned> jobPauses;   // every pause a job asked for

private:
    Journal& m_journal;
};

class FakePeers : public PeerWindows {
public:
    explicit FakePeers(Journal& journal) : m_journal(journal) {}
    void NotifyEditorProfile(int p) override { m_journal.Add("editor profile %d", p); }
    void CloseEditor() override { m_journal.Add("editor close"); }
    void ShowOsd(const std::wstring& text) override { m_journal.Addf("osd %ls", text.c_str()); }
    // Found once it has been looked for `loadingLookupsBeforeFound` times.
    uintptr_t FindLoadingWindow() override
    {
        return loadingLookups++ < loadingLookupsBeforeFound ? 0 : loadingWindow;
    }
    void PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam) override
    {
        m_journal.Addf("progress to %d (%u, %ld)", int(window), wParam, lParam);
    }
    uintptr_t loadingWindow = 77;
    int loadingLookupsBeforeFound = 0;
    int loadingLookups = 0;

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
    void WriteDeviceStatus(int s) override { m_journal.Add("write DEVICEPSTATS=%d", s); }
    uint8_t FunctionOf(int profile, int slot) const override
    {
        auto found = functions.find({profile, slot});
        return found == functions.end() ? 0xFF : found->second;
    }
    std::wstring AppPathOf(int profile, int slot) const override
    {
        auto found = paths.find({profile, slot});
        return found == paths.end() ? L"" : found->second;
    }
    void Launch(int profile, int slot, const std::wstring& path)
    {
        functions[{profile, slot}] = 16;
        paths[{profile, slot}] = path;
    }
    int current = 0;
    int status = -1;
    std::map<std::pair<int, int>, uint8_t> functions;
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
    bool CheckDevice() override
    {
        m_journal.Add("link check -> %d", checkSucceeds);
        return open && checkSucceeds;
    }
    // A job like the link's: its name, then 25, 50, 75 and 100 percent with a pause after each,
    // then the end (NotUpdated first when the download is to fail).
    Job DownloadProfile(int p, std::shared_ptr<ProgressSink> progress) override
    {
        return Sequence("link download %d", p, progress, downloadFails);
    }
    Job ResetProfile(int p, std::shared_ptr<ProgressSink> progress) override
    {
        return Sequence("link reset %d", p, progress, false);
    }
    Job SetCurrentProfile(int p) override
    {
        return Job().Then([this, p] {
            m_journal.Add("link set current %d", p);
            return 200u;
        });
    }
    bool open = false;
    bool openSucceeds = true;
    bool checkSucceeds = true;
    bool downloadFails = false;

private:
    Job Sequence(const char* name, int p, std::shared_ptr<ProgressSink> progress, bool fails)
    {
        Job job;
        job.Then([this, name, p] {
            m_journal.Add(name, p);
            return 0u;
        });
        for (int percent : {25, 50, 75, 100})
            job.Then([progress, percent] {
                progress->Percent(percent);
                return 500u;
            });
        job.Then([progress, fails] {
            if (fails)
                progress->NotUpdated();
            progress->Done();
            return 0u;
        });
        return job;
    }

    Journal& m_journal;
};

} // namespace qelt::testing
