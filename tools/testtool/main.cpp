// qelt_testtool: finds, drives and imitates windows for the scenario scripts. Every command
// prints machine-readable lines on stdout and exits non-zero on failure (see `help`).
#include <windows.h>

#include <string>
#include <vector>

#include "commands.h"
#include "output.h"

namespace {

using qelt::testtool::Args;

struct Command {
    const wchar_t* name;
    int (*run)(const Args&);
};

constexpr Command kCommands[] = {
    {L"find", qelt::testtool::FindCommand},         {L"wait", qelt::testtool::WaitCommand},
    {L"wait-gone", qelt::testtool::WaitGoneCommand}, {L"rect", qelt::testtool::RectCommand},
    {L"list", qelt::testtool::ListCommand},         {L"children", qelt::testtool::ChildrenCommand},
    {L"tray", qelt::testtool::TrayCommand},         {L"post", qelt::testtool::PostCommand},
    {L"send", qelt::testtool::SendCommand},         {L"copydata", qelt::testtool::CopyDataCommand},
    {L"key", qelt::testtool::KeyCommand},           {L"now", qelt::testtool::NowCommand},
    {L"terminate", qelt::testtool::TerminateCommand}, {L"text", qelt::testtool::TextCommand},
    {L"window", qelt::testtool::WindowCommand},     {L"hookprobe", qelt::testtool::HookProbeCommand},
};

constexpr wchar_t kUsage[] =
    L"usage: qelt_testtool COMMAND ...   (exit 0 ok, 1 failed/timed out, 2 usage)\n"
    L"  TARGET is a window title (exact), or hwnd:0x... ; --class C narrows a title lookup\n"
    L"  (title * with --class C: any window of that class, e.g. * --class #32768 for a popup menu)\n"
    L"  numbers: decimal or 0x hex; MSG: number, WM_CLOSE/WM_USER/WM_APP..., reg:Name, NAME+N\n"
    L"  find TARGET                          print the window handle (0x...)\n"
    L"  wait TARGET [--timeout MS] [--visible]   wait until it exists, print the handle\n"
    L"  wait-gone TARGET [--timeout MS]      wait until no such window exists\n"
    L"  rect TARGET [--client]               print LEFT TOP RIGHT BOTTOM (screen coordinates)\n"
    L"  list | children TARGET | tray        one line per window: hwnd vis pid l,t,r,b class title (tabs)\n"
    L"  text TARGET [--child CLASS]          print its text (a title); --child: the texts of its children of\n"
    L"                                       that class (a message box's message: --child Static)\n"
    L"  post TARGET MSG WPARAM LPARAM [--time]\n"
    L"  send TARGET MSG WPARAM LPARAM [--timeout MS] [--time]   print the result (decimal)\n"
    L"  copydata TARGET DWDATA (FILE | --hex BYTES | --wtext TEXT) [--from HWND] [--timeout MS] [--time]\n"
    L"  key VK... [--down|--up]              SendInput key events, print t=MICROSECONDS\n"
    L"  terminate TARGET [--exit-code N]     end the process that owns the window, print its pid\n"
    L"  now                                  print t=MICROSECONDS of the high-resolution counter\n"
    L"  window TITLE [--class C] [--log FILE] [--hidden] [--topmost] [--pos X,Y] [--size WxH] [--color RRGGBB]\n"
    L"         [--reply MSG=VALUE]... [--tray]   a window that logs WM_COPYDATA and messages >= WM_USER;\n"
    L"                                       --tray adds a tray icon whose callback is WM_APP+0x3FF\n"
    L"         [--tray-menu \"A|B\"]           tray icon with a menu on right click (logged: menu item=N)\n"
    L"         [--stall MSG=MS]... [--close-on MSG]...   sit on MSG for MS ms (a hung peer); close after MSG\n"
    L"  hookprobe --log FILE [--title T]     log every low-level keyboard event\n";

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        qelt::testtool::PrintError(L"no command\n%ls", kUsage);
        return qelt::testtool::kExitUsage;
    }
    std::wstring name = argv[1];
    Args args(argv + 2, argv + argc);
    if (name == L"help" || name == L"--help" || name == L"-h") {
        qelt::testtool::PrintLine(L"%ls", kUsage);
        return qelt::testtool::kExitOk;
    }
    for (const auto& command : kCommands)
        if (name == command.name)
            return command.run(args);
    qelt::testtool::PrintError(L"unknown command %ls\n%ls", name.c_str(), kUsage);
    return qelt::testtool::kExitUsage;
}
