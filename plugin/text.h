// Bounded text helpers: the only code in the plug-in that copies strings.
#pragma once

#include <stddef.h>

// Copies src (NULL counts as empty) into dst, cut to dstSize - 1 characters, always terminated.
// Returns the number of characters copied.
size_t copyText(char* dst, size_t dstSize, const char* src);
// Appends src to the text already in dst, within dstSize; returns the new length.
size_t appendText(char* dst, size_t dstSize, const char* src);
// Appends a signed decimal number; returns the new length.
size_t appendInt(char* dst, size_t dstSize, int value);

template <size_t N> size_t copyText(char (&dst)[N], const char* src) { return copyText(dst, N, src); }
template <size_t N> size_t appendText(char (&dst)[N], const char* src) { return appendText(dst, N, src); }
template <size_t N> size_t appendInt(char (&dst)[N], int value) { return appendInt(dst, N, value); }

// Exact, case-sensitive comparison.
bool sameText(const char* a, const char* b);
// Comparison ignoring the case of ASCII letters.
bool sameTextIgnoringCase(const char* a, const char* b);
