#pragma once
// Plexin.dll as the macro editor holds it: loaded from the program folder (build/out) with
// LoadLibraryW, its entry points taken by name with GetProcAddress. For the tests, the scenario's
// host and the benchmark.
#include <windows.h>

#include <string>

#include "handles.h"
#include "plexin.h"
#include "run_program.h"

namespace plexin {

class PlexinLibrary {
public:
    PlexinLibrary() : m_module(LoadLibraryW(Path().c_str()))
    {
        if (!m_module)
            return;
        installhook = reinterpret_cast<InstallHookFunction>(
            reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "installhook")));
        removehook = reinterpret_cast<RemoveHookFunction>(
            reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "removehook")));
    }
    static std::wstring Path() { return qelt::testing::ProgramOutputFolder() + L"Plexin.dll"; }
    bool Loaded() const { return m_module && installhook && removehook; }

    InstallHookFunction installhook = nullptr;
    RemoveHookFunction removehook = nullptr;

private:
    qelt::UniqueModule m_module;
};

} // namespace plexin
