// What the exported functions need of the host: call records and the state they read or add to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

void record(const char* name, std::vector<std::string> args);
std::string textArg(const char* text);  // NULL as "(null)"
std::string boolArg(bool value);

// Host state the exported functions read.
std::string currentStyle();
void addSticky(HWND window);
void appendLog(const char* text, const char* more);
bool executeForReal();

}  // namespace host
