// Which of its catalogs gettext reads the program's texts from, on Linux.
//
// The program's own texts are Chinese, and it has catalogs for Chinese (its
// own texts again) and English. gettext takes the first language of the
// user's list that has a catalog and, when none has, shows the own texts;
// for the program that would be Chinese for every language it has no
// catalog for. A person who reads neither gets English instead: English is
// put last in the list. The C locale asks for no language and keeps the own
// texts, as gettext itself does.
#pragma once

#include <string>

// The LANGUAGE value for gettext: the user's list of languages (`language`,
// the LANGUAGE variable, when set and not empty; else `messagesLocale`, the
// locale of messages, such as "de_DE.UTF-8") with "en" added last. Empty,
// meaning that LANGUAGE stays as it is, when `messagesLocale` is C or POSIX
// (gettext then ignores LANGUAGE) or, without LANGUAGE, a C locale with a
// codeset such as C.UTF-8.
std::string LanguagesEndingInEnglish(const char* language, const std::string& messagesLocale);
