// Entry point of the hardened test build of the plug-in: seeds the stack-protector guard, which
// the runtime start-up would set and which a library that links no start-up code leaves zero.
#include <windows.h>

#include <stdint.h>

extern "C" uintptr_t __stack_chk_guard;
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE module, DWORD reason, LPVOID reserved);

// Not itself protected: it changes the guard its own frame would be checked against.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI hardenedDllStartup(HINSTANCE module, DWORD reason,
                                                                             LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH && __stack_chk_guard == 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        uintptr_t seed = static_cast<uintptr_t>(counter.QuadPart) ^ reinterpret_cast<uintptr_t>(module) ^
                         (static_cast<uintptr_t>(GetCurrentProcessId()) << 16);
        // Low bytes 0, LF and 0xFF stop string copies and reads at the guard; the rest is random.
        __stack_chk_guard = (seed << 24) | 0xff0a00;
    }
    return DllMainCRTStartup(module, reason, reserved);
}
