// Bounded text helpers.
#include "text.h"

#include <string.h>

size_t copyText(char* dst, size_t dstSize, const char* src)
{
    if (dst == NULL || dstSize == 0) return 0;
    size_t n = 0;
    if (src != NULL) {
        while (n + 1 < dstSize && src[n] != '\0') ++n;
        memcpy(dst, src, n);
    }
    dst[n] = '\0';
    return n;
}

size_t appendText(char* dst, size_t dstSize, const char* src)
{
    if (dst == NULL || dstSize == 0) return 0;
    size_t used = 0;
    while (used + 1 < dstSize && dst[used] != '\0') ++used;
    return used + copyText(dst + used, dstSize - used, src);
}

size_t appendInt(char* dst, size_t dstSize, int value)
{
    char digits[16];
    char* p = digits + sizeof digits;
    *--p = '\0';
    // Work in unsigned so that the most negative int has a magnitude too.
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    return appendText(dst, dstSize, p);
}

static char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(const char* a, const char* b)
{
    if (a == NULL) a = "";
    if (b == NULL) b = "";
    while (*a != '\0' && *a == *b) { ++a; ++b; }
    return *a == *b;
}

bool sameTextIgnoringCase(const char* a, const char* b)
{
    if (a == NULL) a = "";
    if (b == NULL) b = "";
    while (*a != '\0' && lowerAscii(*a) == lowerAscii(*b)) { ++a; ++b; }
    return lowerAscii(*a) == lowerAscii(*b);
}
