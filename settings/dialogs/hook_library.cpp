#include "hook_library.h"

#include "diag.h"

namespace {

// GetProcAddress gives a generic function pointer; the library's functions have these types.
template <typename Proc>
Proc EntryPoint(HMODULE module, const char* name, const wchar_t* operation)
{
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr)
        qelt::DiagLastError(operation);
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(address));
}

} // namespace

void CHookLibrary::Load()
{
    if (Loaded())
        return;
    m_module.Reset(LoadLibraryW(kFileName));
    if (!m_module) {
        qelt::DiagLastError(L"LoadLibraryW (Plexin.dll)");
        return;
    }
    m_pInstallHook = EntryPoint<InstallHookProc>(m_module.Get(), "installhook", L"GetProcAddress (installhook)");
    m_pRemoveHook = EntryPoint<RemoveHookProc>(m_module.Get(), "removehook", L"GetProcAddress (removehook)");
    qelt::Diag(L"loaded hook OK!\n");
}

void CHookLibrary::Install(HWND target) const
{
    if (m_pInstallHook != nullptr)
        m_pInstallHook(target);
}

void CHookLibrary::Remove() const
{
    if (m_pRemoveHook != nullptr)
        m_pRemoveHook();
}

void CHookLibrary::Unload()
{
    m_pInstallHook = nullptr;
    m_pRemoveHook = nullptr;
    m_module.Reset();
}
