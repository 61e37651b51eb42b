// The few C runtime functions the plug-in uses, for the build that links its runtime in:
// that library must not depend on any C runtime DLL.
#include <windows.h>

#include <stddef.h>

// Built with -fno-builtin so that none of these loops is turned back into a call to itself.
extern "C" {

void* malloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void* calloc(size_t count, size_t size)
{
    if (size != 0 && count > static_cast<size_t>(-1) / size) return NULL;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * size != 0 ? count * size : 1);
}

void free(void* block)
{
    if (block != NULL) HeapFree(GetProcessHeap(), 0, block);
}

void* memset(void* dst, int value, size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    while (n-- != 0) *d++ = static_cast<unsigned char>(value);
    return dst;
}

void* memcpy(void* dst, const void* src, size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (n-- != 0) *d++ = *s++;
    return dst;
}

void* memmove(void* dst, const void* src, size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    if (d < s) {
        while (n-- != 0) *d++ = *s++;
    } else {
        while (n-- != 0) d[n] = s[n];
    }
    return dst;
}

int memcmp(const void* a, const void* b, size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(a);
    const unsigned char* q = static_cast<const unsigned char*>(b);
    for (; n != 0; --n, ++p, ++q) {
        if (*p != *q) return *p < *q ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char* s)
{
    size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

}  // extern "C"
