// QELT_Core: the background agent. Start-up grows here as the agent is built.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
