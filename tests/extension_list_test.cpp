// ListsExtension: whole names only, anywhere in the list.
#include "shell/platform/extension_list.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtensionListTest, FindsWholeNamesOnly) {
  struct Case {
    const char* list;
    bool listed;
  };
  const Case cases[] = {
      {"GLX_EXT_swap_control", true},
      {"GLX_ARB_multisample GLX_EXT_swap_control GLX_SGI_make_current_read", true},
      {"GLX_ARB_multisample GLX_EXT_swap_control ", true},
      {"GLX_EXT_swap_control_tear", false},
      {"GLX_EXT_swap_control_tear GLX_MESA_swap_control", false},
      {"XGLX_EXT_swap_control", false},
      {"GLX_EXT_swap_control_tear GLX_EXT_swap_control", true},
      {"", false},
      {nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list != nullptr ? c.list : "(null)");
    EXPECT_EQ(ListsExtension(c.list, "GLX_EXT_swap_control"), c.listed);
  }
}

}  // namespace
