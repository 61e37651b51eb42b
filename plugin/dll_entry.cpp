// The library's entry point: loading and unloading run none of the plug-in's own code;
// everything starts in beginPlugin.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
