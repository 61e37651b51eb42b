// Test entry point: the tests run inside this executable, which is also the host.
#include <windows.h>

#include <stdio.h>

#include <gtest/gtest.h>

// A crash ends the test at once with its exception code, instead of waiting in Wine's debugger
// until CTest's timeout.
static LONG WINAPI reportCrash(EXCEPTION_POINTERS* info)
{
    fprintf(stderr, "crash: exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
