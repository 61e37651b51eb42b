// Text helpers the host's functions share: the one bounded copy, case-blind compares, words.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// Copies at most srcLength characters of src (stopping at its terminator) into dest, always
// terminated and never past destSize bytes. A NULL src gives an empty dest. Returns the length.
size_t copyText(char* dest, size_t destSize, const char* src, size_t srcLength = static_cast<size_t>(-1));

bool equalsIgnoreCase(const std::string& a, const std::string& b);
bool isBlank(char c);
std::string trim(const std::string& text);

// Splits off up to count words of text into wordSize-byte buffers, the remainder into rest.
int tokenize(const char* text, char** words, unsigned count, char* rest, size_t wordSize);

}  // namespace host
