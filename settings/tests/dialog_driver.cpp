#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <thread>

#include "skin_files.h"

namespace qelt::testing {

namespace {

constexpr wchar_t kHostClass[] = L"QeltDialogTestHost";
constexpr DWORD kPollMs = 10;

struct OwnedSearch {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<OwnedSearch*>(data);
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (std::wstring(className) == L"#32770" && GetWindow(window, GW_OWNER) == search->owner &&
        IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> OwnedDialogs(HWND owner)
{
    OwnedSearch search{owner, {}};
    EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends whatever dialogs the script left open, the innermost first.
void CancelOpenDialogs(HWND owner)
{
    for (HWND dialog : OwnedDialogs(owner)) {
        CancelOpenDialogs(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitNoOwnedDialog(dialog, 2000);
    }
}

} // namespace

HostWindow::HostWindow()
{
    WindowParams params;
    params.title = L"dialog test host";
    params.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    params.rect = RECT{100, 100, 800, 700};
    CreateWindowOf(WindowClassInfo{kHostClass}, params);
}

LRESULT HostWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER && message < 0x8000) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_messages.push_back(std::to_wstring(message) + L":" + std::to_wstring(wParam));
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

std::vector<std::wstring> HostWindow::Messages() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

bool HostWindow::WaitMessage(UINT message, WPARAM wParam, DWORD timeoutMs) const
{
    const std::wstring wanted = std::to_wstring(message) + L":" + std::to_wstring(wParam);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        for (const std::wstring& seen : Messages()) {
            if (seen == wanted)
                return true;
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

void HostWindow::Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND WaitOwnedDialog(HWND owner, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        std::vector<HWND> dialogs = OwnedDialogs(owner);
        if (!dialogs.empty())
            return dialogs.front();
        Sleep(kPollMs);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

bool WaitNoOwnedDialog(HWND owner, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!OwnedDialogs(owner).empty()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

int OwnedDialogCount(HWND owner)
{
    return int(OwnedDialogs(owner).size());
}

HWND SkinButton(HWND dialog, const wchar_t* skinFile, int key)
{
    const ButtonInfo info = CSkinFile(skinFile).ReadButton(SKIN_BUTTONINFO, key);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = L"";
        GetClassNameW(child, className, 32);
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        if (_wcsicmp(className, L"Button") == 0 && rect.left == info.nLeft && rect.top == info.nTop &&
            rect.right == info.nRight && rect.bottom == info.nBottom)
            return child;
    }
    ADD_FAILURE() << "no button for entry " << key << " of the skin";
    return nullptr;
}

void Click(HWND dialog, HWND button)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PostClick(HWND dialog, HWND button)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

namespace {

struct ControlSearch {
    int id;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<ControlSearch*>(data);
    wchar_t className[64] = L"";
    GetClassNameW(child, className, 64);
    if (GetDlgCtrlID(child) == search->id && _wcsicmp(className, search->className) == 0) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND DescendantControl(HWND parent, int id, const wchar_t* className)
{
    ControlSearch search{id, className, nullptr};
    EnumChildWindows(parent, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

namespace {

// Types path into the file dialog owner opens and confirms it: the dialog, or null.
HWND AnswerFileDialog(HWND owner, const std::wstring& path)
{
    constexpr int kFileNameBox = 0x47C;  // the file name combo box of the platform's dialog
    HWND files = WaitOwnedDialog(owner);
    HWND name = files != nullptr ? DescendantControl(files, kFileNameBox, L"Edit") : nullptr;
    HWND confirm = files != nullptr ? DescendantControl(files, IDOK, L"Button") : nullptr;
    if (name == nullptr || confirm == nullptr)
        return nullptr;
    SetWindowTextW(name, path.c_str());
    PostMessageW(files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(confirm));
    return files;
}

} // namespace

bool ChooseFile(HWND owner, const std::wstring& path)
{
    return AnswerFileDialog(owner, path) != nullptr && WaitNoOwnedDialog(owner);
}

HWND ChooseFileThenWaitDialog(HWND owner, const std::wstring& path, DWORD timeoutMs)
{
    HWND files = AnswerFileDialog(owner, path);
    if (files == nullptr)
        return nullptr;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(files) && GetTickCount64() < deadline)
        Sleep(10);
    return IsWindow(files) ? nullptr : WaitOwnedDialog(owner, timeoutMs);
}

std::vector<std::wstring> ListLines(HWND list)
{
    std::vector<std::wstring> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < int(count); ++i) {
        std::wstring text(size_t(SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text.data()));
        lines.push_back(text.c_str());
    }
    return lines;
}

std::wstring WindowTextOf(HWND window)
{
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

INT_PTR RunDriven(HWND host, const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script)
{
    std::thread driver([&] {
        HWND dialog = WaitOwnedDialog(host);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the dialog did not appear";
            return;
        }
        script(dialog);
        CancelOpenDialogs(host);
    });
    const INT_PTR result = run();
    driver.join();
    return result;
}

} // namespace qelt::testing
