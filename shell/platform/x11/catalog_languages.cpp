#include "shell/platform/x11/catalog_languages.h"

namespace {

constexpr char kLastLanguage[] = "en";

bool IsPlainC(const std::string& locale) { return locale == "C" || locale == "POSIX"; }

// C.UTF-8 and the like: the C locale with another codeset.
bool IsCWithCodeset(const std::string& locale) { return locale.rfind("C.", 0) == 0; }

}  // namespace

std::string LanguagesEndingInEnglish(const char* language, const std::string& messagesLocale) {
  if (IsPlainC(messagesLocale)) return "";
  if (language != nullptr && language[0] != '\0')
    return std::string(language) + ":" + kLastLanguage;
  if (IsCWithCodeset(messagesLocale)) return "";
  return messagesLocale + ":" + kLastLanguage;
}
