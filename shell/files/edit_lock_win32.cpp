// The edit lock on Windows: a named mutex of the session. A lock on the file
// itself would keep it open, and Windows renames nothing over an open file.
#include <windows.h>

#include <cstdint>
#include <string>

#include "shell/files/edit_lock.h"
#include "shell/files/file_names.h"
#include "shell/files/final_path_win32.h"

namespace {

// The mutex's name: the final path, upper-cased as Windows compares names,
// hashed (64-bit FNV-1a) to fit a kernel object's name.
std::wstring MutexNameFor(const char* utf8Name) {
  std::wstring path = FinalPathOf(WideFromUtf8(utf8Name));
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  uint64_t hash = 14695981039346656037ull;
  for (const wchar_t unit : path) {
    hash = (hash ^ static_cast<uint16_t>(unit)) * 1099511628211ull;
  }
  wchar_t hex[17];
  for (int digit = 15; digit >= 0; --digit, hash >>= 4) hex[digit] = L"0123456789abcdef"[hash & 15];
  hex[16] = L'\0';
  return std::wstring(L"Local\\PathwickEdit-") + hex;
}

}  // namespace

EditLock::EditLock(const char* utf8Name) {
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexNameFor(utf8Name).c_str());
  if (mutex == nullptr) return;
  // An editor that ended while it held the lock leaves it abandoned: taken.
  const DWORD waited = WaitForSingleObject(mutex, kMaxWaitMs);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return;
  }
  mutex_ = mutex;
  held_ = true;
}

EditLock::~EditLock() {
  if (mutex_ == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(mutex_));
  CloseHandle(static_cast<HANDLE>(mutex_));
}
