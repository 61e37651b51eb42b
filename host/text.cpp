// Text helpers the host's functions share: the one bounded copy, case-blind compares, words.
#include "text.h"

#include <cctype>

namespace host {

size_t copyText(char* dest, size_t destSize, const char* src, size_t srcLength)
{
    if (!dest || destSize == 0) return 0;
    size_t n = 0;
    if (src) {
        while (n + 1 < destSize && n < srcLength && src[n]) {
            dest[n] = src[n];
            ++n;
        }
    }
    dest[n] = '\0';
    return n;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int tokenize(const char* text, char** words, unsigned count, char* rest, size_t wordSize)
{
    if (words) {
        for (unsigned i = 0; i < count; ++i) copyText(words[i], wordSize, "");
    }
    copyText(rest, wordSize, "");
    if (!text) return 0;

    const char* p = text;
    unsigned found = 0;
    while (found < count) {
        while (isBlank(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !isBlank(*p)) ++p;
        if (words) copyText(words[found], wordSize, start, static_cast<size_t>(p - start));
        ++found;
    }
    while (isBlank(*p)) ++p;
    copyText(rest, wordSize, p);
    return static_cast<int>(found);
}

}  // namespace host
