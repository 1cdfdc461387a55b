// QELT_Settings: the settings editor. Its windows are built on the skin framework.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
