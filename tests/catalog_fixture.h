// The message catalogs as tests read them, and a run of the program through
// every text it translates.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "shell/main/application.h"
#include "shell/platform/offscreen/platform_offscreen.h"
#include "tests/offscreen_program.h"

namespace catalog_fixture {

// The text of one quoted PO string, escapes decoded.
inline std::string PoString(const std::string& quoted) {
  std::string text;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] != '\\') {
      text += quoted[i];
      continue;
    }
    const char escaped = quoted[++i];
    text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
  }
  return text;
}

// msgid -> msgstr of the PO file `path` (a strings continued over lines
// joined), without the header entry.
inline std::map<std::string, std::string> ReadPoFile(const std::string& path) {
  std::ifstream file(path);
  EXPECT_TRUE(file.is_open()) << path;
  std::map<std::string, std::string> entries;
  std::string id, text, line;
  std::string* current = nullptr;
  auto finish = [&] {
    if (!id.empty()) entries[id] = text;
    id.clear();
    text.clear();
    current = nullptr;
  };
  while (std::getline(file, line)) {
    if (line.rfind("msgid ", 0) == 0) {
      finish();
      current = &id;
      id = PoString(line.substr(6));
    } else if (line.rfind("msgstr ", 0) == 0) {
      current = &text;
      text = PoString(line.substr(7));
    } else if (line.rfind('"', 0) == 0 && current != nullptr) {
      *current += PoString(line);
    }
  }
  finish();
  return entries;
}

inline std::map<std::string, std::string> Catalog(const char* language) {
  return ReadPoFile(std::string(PATHWICK_PO_DIR) + "/" + language + ".po");
}

// Runs the program on the offscreen platform through every text it
// translates: the question (answered Cancel), the framed window with its
// menu bar and the About box (F1), then Escape. The platform keeps what was
// shown and the texts looked up, with their ids; `translations` is its
// catalog.
inline offscreen::Platform& RunThroughEveryText(
    const std::map<std::string, std::string>& translations = {}) {
  ResetProgram();
  offscreen::Platform& platform = offscreen::Get();
  platform.translations = translations;
  platform.answer = QuestionAnswer::Cancel;
  platform.onSwap = [&platform] {
    if (platform.swaps == 1) {
      offscreen::QueueMessage(MessageKind::KeyDown, KeyF1);
      offscreen::QueueMessage(MessageKind::KeyDown, KeyEscape);
    }
  };
  LaunchOptions options;
  options.window = WindowChoice::Ask;
  RunApplication(options);
  return platform;
}

}  // namespace catalog_fixture
