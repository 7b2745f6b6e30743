// The Windows program's resource script against the command table and the
// catalogs: for each language, the menu bar that the Windows build loads
// from ui/pathwick.rc must hold the items of MainMenu (ids, order), the
// Chinese one with the table's captions and the English one with those of
// po/en.po; the string tables must hold the program's own texts under their
// ids, and their English; and the script must be read as UTF-8, so that the
// texts cannot drift apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "shell/text/text_ids.h"
#include "tests/catalog_fixture.h"
#include "ui/commands.h"

namespace {

struct ResourceMenuItem {
  uint32_t id;
  std::string caption;
};

bool operator==(const ResourceMenuItem& a, const ResourceMenuItem& b) {
  return a.id == b.id && a.caption == b.caption;
}

void PrintTo(const ResourceMenuItem& item, std::ostream* out) {
  *out << '"' << item.caption << "\", " << item.id;
}

// `line` with its blank runs outside quotes made single spaces and no
// blanks at either end.
std::string Normalized(const std::string& line) {
  std::string normalized;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    const bool blank = !quoted && (c == ' ' || c == '\t' || c == '\r');
    if (!blank) {
      normalized += c;
    } else if (!normalized.empty() && normalized.back() != ' ') {
      normalized += ' ';
    }
  }
  if (!normalized.empty() && normalized.back() == ' ') normalized.pop_back();
  return normalized;
}

// The script's lines, normalized, with blank lines and whole-line //
// comments left out.
std::vector<std::string> ScriptLines(const std::string& path) {
  std::ifstream script(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(script, line)) {
    line = Normalized(line);
    if (!line.empty() && line.rfind("//", 0) != 0) lines.push_back(line);
  }
  return lines;
}

// The resources of one LANGUAGE statement: its menu and its string table.
struct LanguageSection {
  std::string language;                     // the LANGUAGE statement
  std::vector<ResourceMenuItem> menuItems;  // in menu order
  std::map<uint32_t, std::string> strings;  // id -> text, escapes decoded
};

// What the test needs of a resource script.
struct ResourceScript {
  std::vector<std::string> statements;       // before the first LANGUAGE, in order
  std::vector<LanguageSection> sections;     // in script order
  std::vector<std::string> unexpectedLines;  // in a block: anything but a plain item or string
};

// A quoted resource string's text: "" is a quote, \n a line break.
std::string ResourceString(const std::string& quoted) {
  std::string text;
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] == '\\' && i + 1 < quoted.size() && quoted[i + 1] == 'n') {
      text += '\n';
      ++i;
    } else {
      text += quoted[i];
      if (quoted[i] == '"') ++i;  // the second quote of ""
    }
  }
  return text;
}

// Reads each LANGUAGE section: the flat menu `menuId` (a header line
// "<id> MENU", BEGIN, lines `MENUITEM "caption", id` (an item with options,
// a pop-up or a separator is unexpected here), END) and the string table
// (STRINGTABLE, BEGIN, lines `id, "text"`, END).
ResourceScript ParseScript(const std::string& path, uint32_t menuId) {
  static const std::regex kItem(R"re(MENUITEM "([^"]*)", ?(\d+))re");
  static const std::regex kString(R"re((\d+),? "((?:[^"]|"")*)")re");
  const std::string menuHeader = std::to_string(menuId) + " MENU";
  enum class Block { None, Menu, Strings } block = Block::None;
  bool inBlock = false;
  ResourceScript script;
  for (const std::string& line : ScriptLines(path)) {
    std::smatch match;
    if (line.rfind("LANGUAGE ", 0) == 0) {
      script.sections.push_back({line, {}, {}});
    } else if (script.sections.empty()) {
      script.statements.push_back(line);
    } else if (!inBlock && (line == menuHeader || line == "STRINGTABLE")) {
      block = line == menuHeader ? Block::Menu : Block::Strings;
    } else if (block != Block::None && line == "BEGIN") {
      inBlock = true;
    } else if (inBlock && line == "END") {
      inBlock = false;
      block = Block::None;
    } else if (block == Block::Menu && std::regex_match(line, match, kItem)) {
      script.sections.back().menuItems.push_back(
          {static_cast<uint32_t>(std::stoul(match[2])), match[1]});
    } else if (block == Block::Strings && std::regex_match(line, match, kString)) {
      script.sections.back().strings[static_cast<uint32_t>(std::stoul(match[1]))] =
          ResourceString(match[2]);
    } else {
      script.unexpectedLines.push_back(line);
    }
  }
  return script;
}

constexpr char kChinese[] = "LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED";
constexpr char kEnglish[] = "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US";

class MenuResourceTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetProgram(); }

  // The section of `language`; fails the test when there is none.
  const LanguageSection& Section(const char* language) const {
    for (const LanguageSection& section : script.sections) {
      if (section.language == language) return section;
    }
    ADD_FAILURE() << "no \"" << language << "\" in " << PATHWICK_MENU_RC;
    static const LanguageSection kNone;
    return kNone;
  }

  const ResourceScript script = ParseScript(PATHWICK_MENU_RC, kMainMenuResourceId);
  const std::map<std::string, std::string> english = catalog_fixture::Catalog("en");
};

TEST_F(MenuResourceTest, ScriptHoldsChineseAndEnglishReadAsUtf8) {
  for (const std::string& line : script.unexpectedLines) {
    ADD_FAILURE() << "not a plain menu item or string: " << line;
  }
  std::vector<std::string> languages;
  for (const LanguageSection& section : script.sections) languages.push_back(section.language);
  EXPECT_EQ(languages, (std::vector<std::string>{kChinese, kEnglish}));
  // Before any text, for the resource compiler to read them as UTF-8.
  EXPECT_NE(
      std::find(script.statements.begin(), script.statements.end(), "#pragma code_page(65001)"),
      script.statements.end())
      << "no UTF-8 code page before the first language";
}

TEST_F(MenuResourceTest, MenusHoldTheItemsOfTheMenuTableInTheirOrder) {
  std::vector<ResourceMenuItem> chinese, inEnglish;
  for (const MenuItem& item : MainMenu) {
    chinese.push_back({item.id, item.caption});
    inEnglish.push_back({item.id, english.count(item.caption) ? english.at(item.caption) : ""});
  }
  EXPECT_EQ(Section(kChinese).menuItems, chinese);
  EXPECT_EQ(Section(kEnglish).menuItems, inEnglish);
}

TEST_F(MenuResourceTest, StringTablesHoldTheProgramsTextsUnderTheirIds) {
  std::map<uint32_t, std::string> own, inEnglish;
  for (const auto& [id, text] : catalog_fixture::RunThroughEveryText().textsLookedUp) {
    if (id >= IDM_START) continue;  // a menu caption
    own[id] = text;
    inEnglish[id] = english.count(text) ? english.at(text) : "";
  }
  EXPECT_EQ(own.size(), 4u);
  EXPECT_EQ(Section(kChinese).strings, own);
  EXPECT_EQ(Section(kEnglish).strings, inEnglish);
}

}  // namespace
