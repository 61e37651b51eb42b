// Reading and rewriting "key: value" files, the format of the host's style and rc files.
#pragma once

#include <windows.h>

#include <string>

namespace host {

bool fileExists(const char* path);
// The trimmed value of the first line whose key matches (ignoring case, colon optional in key).
bool readValue(const char* file, const char* key, std::string& value);
bool parseInt(const std::string& text, int& value);
bool parseBool(const std::string& text, bool& value);
bool parseColor(const std::string& text, COLORREF& value);
// Sets the key to "true"/"false" in place, or appends it; false when the file cannot be written.
bool writeBool(const char* file, const char* key, bool value);

}  // namespace host
