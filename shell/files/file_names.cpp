#include "shell/files/file_names.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32

std::wstring WideFromUtf8(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length) - 1);  // drop the terminating NUL
  return wide;
}

std::string Utf8FromWide(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], length, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(length) - 1);  // drop the terminating NUL
  return utf8;
}

std::filesystem::path PathFromUtf8(const char* utf8Name) {
  return std::filesystem::path(WideFromUtf8(utf8Name));
}

#else

std::filesystem::path PathFromUtf8(const char* utf8Name) { return std::filesystem::path(utf8Name); }

#endif

bool FileExists(const char* utf8Name) {
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(utf8Name), error);
}
