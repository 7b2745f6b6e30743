// The Win32 backend's resources in the user's language: the menu and the
// string table, read in the UI language where the program has resources in
// it (or in another variant of it), else in English.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "shell/files/file_names.h"
#include "shell/platform/platform.h"
#include "shell/platform/win32/win32_backend.h"

using win32::Program;

namespace {

// The resource languages the program may show, best first: the user's UI
// language itself, another variant of it, US English, any other.
struct LanguageChoice {
  LANGID wanted;
  LANGID best;
  int rank;  // -1 while none is found
};

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

int LanguageRank(LANGID language, LANGID wanted) {
  if (language == wanted) return 3;
  if (PRIMARYLANGID(language) == PRIMARYLANGID(wanted)) return 2;
  return language == kEnglish ? 1 : 0;
}

BOOL CALLBACK RankLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  auto* choice = reinterpret_cast<LanguageChoice*>(param);
  const int rank = LanguageRank(language, choice->wanted);
  if (rank > choice->rank) *choice = LanguageChoice{choice->wanted, language, rank};
  return TRUE;
}

// The data of resource `name` of `type` in the language that suits the user
// best (LanguageChoice), or null when the program has no such resource.
// Windows' own choice (LoadMenu, LoadString) goes by the thread's language
// and falls back on the neutral one; the program picks itself.
const void* LocalizedResource(LPCSTR type, LPCSTR name, DWORD* size) {
  LanguageChoice choice{GetUserDefaultUILanguage(), 0, -1};
  EnumResourceLanguagesA(Program.instance, type, name, RankLanguage,
                         reinterpret_cast<LONG_PTR>(&choice));
  if (choice.rank < 0) return nullptr;
  const HRSRC found = FindResourceExA(Program.instance, type, name, choice.best);
  const HGLOBAL loaded = found != nullptr ? LoadResource(Program.instance, found) : nullptr;
  if (loaded == nullptr) return nullptr;
  *size = SizeofResource(Program.instance, found);
  return LockResource(loaded);
}

// String `id` of the string table, UTF-8; empty when there is none. The
// table is stored in blocks of 16 strings, block id / 16 + 1 holding string
// id; each string is its length in UTF-16 units, then the units.
std::string LoadLocalizedString(uint32_t id) {
  constexpr uint32_t kStringsPerBlock = 16;
  DWORD size = 0;
  const auto* units = static_cast<const WCHAR*>(
      LocalizedResource(RT_STRING, MAKEINTRESOURCEA(id / kStringsPerBlock + 1), &size));
  if (units == nullptr) return "";
  const WCHAR* end = units + size / sizeof(WCHAR);
  for (uint32_t skip = id % kStringsPerBlock; skip > 0 && units < end; --skip) {
    units += 1 + *units;
  }
  if (units >= end || *units == 0 || units + 1 + *units > end) return "";
  return Utf8FromWide(std::wstring(units + 1, *units).c_str());
}

}  // namespace

HMENU win32::LoadLocalizedMenu(uint32_t id) {
  DWORD size = 0;
  const void* menu = LocalizedResource(RT_MENU, MAKEINTRESOURCEA(id), &size);
  return menu != nullptr ? LoadMenuIndirectW(menu) : nullptr;
}

const char* PlatformLocalizedText(uint32_t textId, const char* ownText) {
  static std::map<uint32_t, std::string> loaded;  // the strings read so far, by id
  auto found = loaded.find(textId);
  if (found == loaded.end()) found = loaded.emplace(textId, LoadLocalizedString(textId)).first;
  return found->second.empty() ? ownText : found->second.c_str();
}
