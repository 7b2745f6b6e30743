// The safe writer on Windows: a new file beside the old one, held open
// unshared while it is written, moved over it; written in place where a
// rename would change what the user has. With the sweep of the partial
// files that killed writers left, which goes by the same names.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "shell/files/file_names.h"
#include "shell/files/final_path_win32.h"
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

// The attributes of a file that its replacement takes over: those that say
// how the user wants it shown, kept and indexed. (Read-only files are not
// replaced; the others describe the storage, which the new file gets anew.)
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A new, empty file beside `path` for the new contents, named as on other
// systems NAME.partial-..., with `attributes` (of kKeptAttributes); its name
// in `temp`. Opened also to set its access control list.
HANDLE CreateTempBeside(const std::wstring& path, DWORD attributes, std::wstring* temp) {
  const DWORD kept = attributes & kKeptAttributes;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    *temp = path + L".partial-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(attempt);
    file = CreateFileW(temp->c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0, nullptr,
                       CREATE_NEW, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
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

// Gives the new file `temp` the access control list of the existing file
// `path`: its own entries, and whether it takes those of the folder (which
// Windows then works out for the new file as for the old one). False when
// the old file's list cannot be read or the new file cannot take it; true
// also when the file system keeps no lists.
bool KeepAccessControl(const std::wstring& path, HANDLE temp) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                           nullptr, nullptr, &dacl, nullptr, &descriptor);
  if (read == ERROR_NOT_SUPPORTED || read == ERROR_INVALID_FUNCTION) return true;
  if (read != ERROR_SUCCESS) return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool isProtected = GetSecurityDescriptorControl(descriptor, &control, &revision) != 0 &&
                           (control & SE_DACL_PROTECTED) != 0;
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION |
      (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
  const DWORD written =
      SetSecurityInfo(temp, SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return written == ERROR_SUCCESS;
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
  const HANDLE file = CreateTempBeside(path, exists ? attributes : 0, &temp);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    *error = LastErrorText();
    return exists && RenameRefused(failure) && WriteInPlace(path, contents, error);
  }
  // A file whose access control list the new one cannot take keeps it by
  // being written where it is.
  if (exists && !KeepAccessControl(path, file)) {
    CloseHandle(file);
    DeleteFileW(temp.c_str());
    return WriteInPlace(path, contents, error);
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
