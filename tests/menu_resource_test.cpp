// The Windows program's resource script against the command table: the menu
// bar that the Windows build loads from ui/pathwick.rc must hold the items of
// MainMenu, which the table gives (ids, order, captions), and the script must
// be read as UTF-8 and filed under Chinese (Simplified), so that the two
// cannot drift apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

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

// `line` with its blank runs made single spaces and no blanks at either end.
std::string Normalized(const std::string& line) {
  std::istringstream words(line);
  std::string word, normalized;
  while (words >> word) normalized += (normalized.empty() ? "" : " ") + word;
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

// What the test needs of a resource script: its statements before the
// menu and the items of MENU `menuId`.
struct ResourceScript {
  std::vector<std::string> statements;       // before the menu, in order
  std::vector<ResourceMenuItem> menuItems;   // in menu order
  std::vector<std::string> unexpectedLines;  // in the menu: anything but a plain item
  bool menuFound = false;
  bool menuClosed = false;
};

// Reads the flat menu `menuId`: a header line "<id> MENU", BEGIN, lines
// `MENUITEM "caption", id` (an item with options, a pop-up or a separator
// is unexpected here), END.
ResourceScript ParseScript(const std::string& path, uint32_t menuId) {
  static const std::regex kItem(R"re(MENUITEM "([^"]*)", ?(\d+))re");
  const std::string header = std::to_string(menuId) + " MENU";
  ResourceScript script;
  bool inBlock = false;
  for (const std::string& line : ScriptLines(path)) {
    std::smatch match;
    if (!script.menuFound) {
      if (line == header) {
        script.menuFound = true;
      } else {
        script.statements.push_back(line);
      }
    } else if (script.menuClosed) {
      continue;
    } else if (!inBlock && line == "BEGIN") {
      inBlock = true;
    } else if (inBlock && line == "END") {
      script.menuClosed = true;
    } else if (inBlock && std::regex_match(line, match, kItem)) {
      script.menuItems.push_back({static_cast<uint32_t>(std::stoul(match[2])), match[1]});
    } else {
      script.unexpectedLines.push_back(line);
    }
  }
  return script;
}

class MenuResourceTest : public ::testing::Test {
 protected:
  static constexpr size_t kMissing = std::string::npos;

  // The index of `statement` among the statements before the menu.
  size_t PositionOf(const std::string& statement) const {
    const auto& statements = script.statements;
    const auto found = std::find(statements.begin(), statements.end(), statement);
    return found == statements.end() ? kMissing : found - statements.begin();
  }

  const ResourceScript script = ParseScript(PATHWICK_MENU_RC, kMainMenuResourceId);
};

TEST_F(MenuResourceTest, MenuHoldsTheItemsOfTheMenuTableInTheirOrder) {
  ASSERT_TRUE(script.menuFound) << "no \"" << kMainMenuResourceId << " MENU\" in "
                                << PATHWICK_MENU_RC;
  EXPECT_TRUE(script.menuClosed) << "the menu has no END";
  for (const std::string& line : script.unexpectedLines) {
    ADD_FAILURE() << "not a plain menu item: " << line;
  }

  std::vector<ResourceMenuItem> table;
  for (const MenuItem& item : MainMenu) table.push_back({item.id, item.caption});
  EXPECT_EQ(script.menuItems, table);
}

TEST_F(MenuResourceTest, ScriptIsReadAsUtf8AndFiledUnderSimplifiedChinese) {
  // Both must come before the menu, the code page first, for the resource
  // compiler to read the captions as UTF-8 and file the menu under 0x0804.
  const size_t codePage = PositionOf("#pragma code_page(65001)");
  const size_t language = PositionOf("LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED");
  ASSERT_NE(codePage, kMissing) << "no UTF-8 code page before the menu";
  ASSERT_NE(language, kMissing) << "no Chinese (Simplified) language before the menu";
  EXPECT_LT(codePage, language) << "the code page must be set first";
}

}  // namespace
