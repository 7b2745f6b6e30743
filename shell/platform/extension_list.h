// Reading the extension lists of OpenGL and its window-system bindings.
#pragma once

#include <cstring>

// True when `name` is one of the blank-separated names in `list` (a null list
// names none). A name that only begins another ("GLX_EXT_swap_control" in
// "GLX_EXT_swap_control_tear") does not count.
inline bool ListsExtension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
    const bool startsName = at == list || at[-1] == ' ';
    const bool endsName = at[length] == ' ' || at[length] == '\0';
    if (startsName && endsName) return true;
  }
  return false;
}
