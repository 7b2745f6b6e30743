// PlatformLocalizedText on Linux, for the FLTK backend: gettext, with the
// program's catalogs (po/*.po, compiled to LANG/LC_MESSAGES/pathwick.mo) in
// the build tree beside the program or in PREFIX/share/locale of its
// installation (MessageCatalogFolder).
//
// The language is read from the environment as gettext reads it (LANGUAGE,
// then LC_ALL, LC_MESSAGES, LANG), with English last in the list
// (catalog_languages.h). Only the lookups use the user's locale of
// messages: the process stays in the C locale, so that the system's error
// texts in the program's warnings stay as they are.
#include <libintl.h>
#include <locale.h>

#include <cstdlib>
#include <string>

#include "shell/files/data_files.h"
#include "shell/platform/platform.h"
#include "shell/platform/x11/catalog_languages.h"

namespace {

constexpr char kDomain[] = "pathwick";

// The locale of messages that the environment names, as setlocale reads it.
std::string MessagesLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "C";
}

// The user's locale of messages over the C locale; the C locale itself
// when the user's is not installed, as setlocale would leave it.
locale_t OpenCatalogs() {
  locale_t messages = newlocale(LC_MESSAGES_MASK, "", nullptr);
  if (messages == nullptr) messages = newlocale(LC_MESSAGES_MASK, "C", nullptr);
  const std::string languages =
      LanguagesEndingInEnglish(std::getenv("LANGUAGE"), MessagesLocaleName());
  if (!languages.empty()) setenv("LANGUAGE", languages.c_str(), 1);
  const std::filesystem::path folder = MessageCatalogFolder();
  if (!folder.empty()) bindtextdomain(kDomain, folder.c_str());
  // The texts cross the seam in UTF-8, whatever the locale's codeset.
  bind_textdomain_codeset(kDomain, "UTF-8");
  return messages;
}

}  // namespace

const char* PlatformLocalizedText(uint32_t, const char* ownText) {
  static const locale_t messages = OpenCatalogs();
  const locale_t previous = uselocale(messages);
  const char* text = dgettext(kDomain, ownText);
  uselocale(previous);
  return text;
}
