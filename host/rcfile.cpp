// Reading and rewriting "key: value" files, the format of the host's style and rc files.
#include "rcfile.h"

#include <climits>
#include <cstdio>

#include "text.h"

namespace host {
namespace {

bool readFile(const char* path, std::string& content)
{
    if (!path) return false;
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    content.clear();
    char chunk[8192];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeFile(const char* path, const std::string& content)
{
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
}

// Keys are given with their colon ("toolbar.color:"); the colon is optional for callers.
std::string bareKey(const char* key)
{
    std::string k = trim(key);
    if (!k.empty() && k.back() == ':') k.pop_back();
    return trim(k);
}

// One line of a file: [begin, end) without its line ending, which runs to next.
struct Line {
    size_t begin, end, next;
};

bool nextLine(const std::string& content, size_t from, Line& line)
{
    if (from >= content.size()) return false;
    size_t newline = content.find('\n', from);
    line.begin = from;
    line.next = newline == std::string::npos ? content.size() : newline + 1;
    line.end = newline == std::string::npos ? content.size() : newline;
    if (line.end > line.begin && content[line.end - 1] == '\r') --line.end;
    return true;
}

// Finds the first line with the key; value gets the text after its colon.
bool findKey(const std::string& content, const std::string& key, Line& found, std::string& value)
{
    if (key.empty()) return false;
    Line line;
    for (size_t at = 0; nextLine(content, at, line); at = line.next) {
        size_t colon = content.find(':', line.begin);
        if (colon == std::string::npos || colon >= line.end) continue;
        if (!equalsIgnoreCase(trim(content.substr(line.begin, colon - line.begin)), key)) continue;
        found = line;
        value = content.substr(colon + 1, line.end - colon - 1);
        return true;
    }
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool fileExists(const char* path)
{
    if (!path || !*path) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool readValue(const char* file, const char* key, std::string& value)
{
    std::string content;
    if (!key || !readFile(file, content)) return false;
    Line line;
    std::string raw;
    if (!findKey(content, bareKey(key), line, raw)) return false;
    value = trim(raw);
    return true;
}

bool parseInt(const std::string& text, int& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        // Saturate instead of overflowing; the clamp below brings it into int range.
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[i] - '0');
    }
    long long signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(signedValue > INT_MAX ? INT_MAX : signedValue < INT_MIN ? INT_MIN : signedValue);
    return true;
}

bool parseBool(const std::string& text, bool& value)
{
    if (equalsIgnoreCase(text, "true")) value = true;
    else if (equalsIgnoreCase(text, "false")) value = false;
    else return false;
    return true;
}

bool parseColor(const std::string& text, COLORREF& value)
{
    std::string digits = text.size() == 7 && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6) return false;
    int channel[3];
    for (int c = 0; c < 3; ++c) {
        int high = hexDigit(digits[2 * c]), low = hexDigit(digits[2 * c + 1]);
        if (high < 0 || low < 0) return false;
        channel[c] = high * 16 + low;
    }
    value = RGB(channel[0], channel[1], channel[2]);
    return true;
}

bool writeBool(const char* file, const char* key, bool value)
{
    if (!file || !key) return false;
    std::string content;
    readFile(file, content);  // a missing file is created
    std::string written = key;
    if (written.empty() || written.back() != ':') written += ':';
    written += value ? " true" : " false";

    Line line;
    std::string ignored;
    if (findKey(content, bareKey(key), line, ignored)) {
        content.replace(line.begin, line.end - line.begin, written);
    } else {
        // Appended lines end like the file's first line does.
        size_t newline = content.find('\n');
        std::string ending = newline != std::string::npos && newline > 0 && content[newline - 1] == '\r' ? "\r\n" : "\n";
        if (!content.empty() && content.back() != '\n') content += ending;
        content += written + ending;
    }
    return writeFile(file, content);
}

}  // namespace host
