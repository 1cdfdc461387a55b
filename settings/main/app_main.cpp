// QELT_Settings: the settings editor. One instance at a time; its main window runs modally and
// the program ends when it closes.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "agent_protocol.h"
#include "config_dlg.h"
#include "gdiplus_session.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);

    // A second start ends silently; the running editor is not brought to the front.
    if (FindWindowW(nullptr, qelt::kEditorWindowTitle) != nullptr)
        return 0;

    qelt::GdiplusSession gdiplus;
    // The image is large (six profiles of ten 5.6 KB macros): it lives on the heap.
    auto image = std::make_unique<EditorImage>();
    CConfigDlg mainWindow(*image);
    mainWindow.Run();
    // A damaged skin (the user has been told) is a failed start for whoever started the editor.
    return mainWindow.SkinNotLoaded() ? 1 : 0;
}
