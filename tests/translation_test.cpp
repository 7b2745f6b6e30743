// The texts of the boxes and the menu bar in the user's language: the
// program shows what the catalog gives for each of its texts, the catalogs
// po/en.po and po/zh.po hold exactly the texts it looks up, and on Linux
// gettext searches the user's languages with English last.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell/platform/x11/catalog_languages.h"
#include "shell/text/text_ids.h"
#include "tests/catalog_fixture.h"
#include "ui/commands.h"

namespace {

using catalog_fixture::Catalog;
using catalog_fixture::RunThroughEveryText;

class TranslationTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetProgram(); }
};

TEST_F(TranslationTest, QuestionMenuAndAboutBoxShowTheCatalogsTexts) {
  const std::map<std::string, std::string> english = Catalog("en");
  const offscreen::Platform& platform = RunThroughEveryText(english);

  auto englishOf = [&](const std::string& own) {
    const auto found = english.find(own);
    return found == english.end() ? "(no English for " + own + ")" : found->second;
  };
  ASSERT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(platform.questions[0].text, "Run in full screen mode?");
  EXPECT_EQ(platform.questions[0].caption, "Maze Demo");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].caption, "Maze Search Demo");
  EXPECT_EQ(platform.messages[0].text, englishOf(platform.textsLookedUp.at(TextAbout)));
  std::vector<std::string> captions;
  for (const MenuItem& item : platform.menu) captions.push_back(item.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Start", "Pause", "Resume", "Faster", "Slower",
                                                "About", "Exit", "Full speed"}));
}

TEST_F(TranslationTest, CatalogsHoldEveryTextTheProgramLooksUpAndNothingElse) {
  std::set<std::string> looked;
  for (const auto& [id, own] : RunThroughEveryText().textsLookedUp) looked.insert(own);
  EXPECT_EQ(looked.size(), 4u + kMenuItemCount);
  // The question's buttons, which the Linux backend looks up itself.
  looked.insert({"确定", "取消"});

  for (const char* language : {"en", "zh"}) {
    SCOPED_TRACE(language);
    std::set<std::string> held;
    for (const auto& [own, translated] : Catalog(language)) {
      held.insert(own);
      EXPECT_FALSE(translated.empty()) << "untranslated: " << own;
      // The Chinese catalog keeps the program's own texts.
      if (std::string(language) == "zh") {
        EXPECT_EQ(translated, own);
      }
    }
    EXPECT_EQ(held, looked);
  }
}

// --- The languages gettext searches ------------------------------------------

struct LanguageCase {
  const char* language;  // LANGUAGE, or null when unset
  const char* messagesLocale;
  const char* expected;  // "" leaves LANGUAGE as it is
};

TEST(CatalogLanguagesTest, EnglishComesLastUnlessTheLocaleIsC) {
  const LanguageCase cases[] = {
      {nullptr, "de_DE.UTF-8", "de_DE.UTF-8:en"},
      {nullptr, "zh_CN.UTF-8", "zh_CN.UTF-8:en"},  // zh has a catalog: still Chinese
      {"", "en_GB.UTF-8", "en_GB.UTF-8:en"},       // an empty LANGUAGE counts as unset
      {"fr:zh_CN", "fr_FR.UTF-8", "fr:zh_CN:en"},
      {"de", "C.UTF-8", "de:en"},  // gettext reads LANGUAGE in C.UTF-8
      {nullptr, "C.UTF-8", ""},    // but without it C.UTF-8 asks for no language
      {nullptr, "C", ""},          // the C locale: the own texts
      {"en", "C", ""},             // gettext ignores LANGUAGE there
      {"de", "POSIX", ""},
  };
  for (const LanguageCase& c : cases) {
    EXPECT_EQ(LanguagesEndingInEnglish(c.language, c.messagesLocale), c.expected)
        << (c.language != nullptr ? c.language : "(unset)") << ", " << c.messagesLocale;
  }
}

}  // namespace
