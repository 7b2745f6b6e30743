// The safe writer on Windows: a new file beside the old one, held open
// unshared while it is written, moved over it; written in place where a
// rename would change what the user has. With the sweep of the partial
// files that killed writers left, which goes by the same names.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "shell/files/file_names.h"
#include "shell/files/replacement_reasons.h"
#include "shell/files/safe_replacement.h"

namespace {

// Windows' text for the error of the last failed call, in UTF-8.
std::string LastErrorText() {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "unknown error";
  std::string utf8 = Utf8FromWide(text);
  LocalFree(text);
  while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == '.')) {
    utf8.pop_back();
  }
  return utf8;
}

// A new, empty file beside `path` for the new contents, named as on other
// systems NAME.partial-...; its name in `temp`.
HANDLE CreateTempBeside(const std::wstring& path, std::wstring* temp) {
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    *temp = path + L".partial-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(attempt);
    file = CreateFileW(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return file;
}

bool WriteContents(HANDLE file, const std::string& contents) {
  DWORD written = 0;
  return WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) !=
             0 &&
         written == contents.size();
}

// Whether the existing file at `path` has names besides this one: a rename
// over it would cut them off.
bool HasOtherHardLinks(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool linked =
      GetFileInformationByHandle(file, &information) != 0 && information.nNumberOfLinks > 1;
  CloseHandle(file);
  return linked;
}

// The file that `named` ends at: a symbolic link (an NTFS one, or a Unix one
// under Wine) is followed, so that the link stays and its target gets the
// new contents. `named` itself where it cannot be opened: a file not there
// yet, or a link whose target is gone.
std::wstring FinalPathOf(const std::wstring& named) {
  const HANDLE file =
      CreateFileW(named.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return named;
  std::wstring path(MAX_PATH, L'\0');
  // Too small a buffer gets the length needed, its terminating null included.
  DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length);
    length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                       FILE_NAME_NORMALIZED);
  }
  CloseHandle(file);
  if (length == 0 || length >= path.size()) return named;
  path.resize(length);
  return path;
}

// Whether making the new file or renaming it over the existing one failed
// for a reason that writing the file where it is need not share: the folder
// may not be written, or another program holds the file open in a way that
// forbids a rename over it.
bool RenameRefused(DWORD failure) {
  return failure == ERROR_ACCESS_DENIED || failure == ERROR_SHARING_VIOLATION ||
         failure == ERROR_LOCK_VIOLATION;
}

// Writes `contents` over the existing file `path`, where it is: the new
// bytes first, then the file cut to their length and flushed to the disk.
// Readers and writers that share the file keep it open meanwhile.
bool WriteInPlace(const std::wstring& path, const std::string& contents, std::string* error) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return false;
  }
  const bool regular = GetFileType(file) == FILE_TYPE_DISK;
  const bool written = regular && WriteContents(file, contents) && SetEndOfFile(file) != 0 &&
                       FlushFileBuffers(file) != 0;
  if (!written) *error = regular ? LastErrorText() : kNotRegularReason;
  CloseHandle(file);
  return written;
}

}  // namespace

bool ReplaceFileContents(const char* utf8Name, const std::string& contents, std::string* error) {
  const std::wstring path = FinalPathOf(WideFromUtf8(utf8Name));
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      *error = kNotRegularReason;
      return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      *error = kReadOnlyReason;
      return false;
    }
  }
  // From here on an existing file may be written where it is, which is done
  // where a rename would cut it from its other names, or is refused.
  if (exists && HasOtherHardLinks(path)) return WriteInPlace(path, contents, error);
  std::wstring temp;
  const HANDLE file = CreateTempBeside(path, &temp);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    *error = LastErrorText();
    return exists && RenameRefused(failure) && WriteInPlace(path, contents, error);
  }
  const bool written = WriteContents(file, contents) && FlushFileBuffers(file) != 0;
  if (!written) *error = LastErrorText();
  CloseHandle(file);
  if (written &&
      MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD failure = written ? GetLastError() : ERROR_SUCCESS;
  if (written) *error = LastErrorText();
  DeleteFileW(temp.c_str());
  return exists && RenameRefused(failure) && WriteInPlace(path, contents, error);
}

void RemoveLeftoverReplacements(const char* utf8Name) {
  const std::filesystem::path target = FinalPathOf(WideFromUtf8(utf8Name));
  const std::wstring prefix = target.filename().wstring() + L".partial-";
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : L".";
  const auto oldest = std::filesystem::file_time_type::clock::now() -
                      std::chrono::seconds(kLeftoverMinimumAgeSeconds);
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::wstring name = entry->path().filename().wstring();
    std::error_code ignored;
    if (name.compare(0, prefix.size(), prefix) != 0 || !entry->is_regular_file(ignored) ||
        entry->last_write_time(ignored) > oldest) {
      continue;
    }
    // A writer holds its new file open without sharing it: that one stays.
    DeleteFileW(entry->path().c_str());
  }
}
