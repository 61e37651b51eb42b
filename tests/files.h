// Small file and process helpers shared by the tests and the benchmark; no test framework here.
#pragma once

#include <windows.h>

#include <string>

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);
// The process's private bytes (Wine reports them only as the page-file usage).
SIZE_T privateBytes();
