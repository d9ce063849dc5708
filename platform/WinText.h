#pragma once

#include <filesystem>
#include <string>

// Text at the Windows system boundary: the program keeps UTF-8, the system takes UTF-16.
std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const std::wstring& wide);
// The system's words for an error code (GetLastError), without the trailing line break.
std::string SystemErrorText(unsigned long error);
// A path as UTF-8, and back.
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathOf(const std::string& utf8);
