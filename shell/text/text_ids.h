// The ids of the program's translated texts in the Windows string table
// (ui/pathwick.rc, one table per language), which PlatformLocalizedText takes
// beside the text itself. The menu captions are translated by the menu
// resource and go by their item ids (MenuId, ui/commands.h).
#pragma once

#include <cstdint>

enum TextId : uint32_t {
  TextQuestion = 1,
  TextQuestionCaption = 2,
  TextAbout = 3,
  TextAboutCaption = 4,
};
