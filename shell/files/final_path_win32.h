// The file a Windows name ends at, links followed (safe_replacement_win32.cpp):
// the safe writer replaces it, the edit lock is named after it.
#pragma once

#include <string>

// The file that `named` ends at: a symbolic link (an NTFS one, or a Unix one
// under Wine) is followed, so that the link stays and its target gets the
// new contents. `named` itself where it cannot be opened: a file not there
// yet, or a link whose target is gone.
std::wstring FinalPathOf(const std::wstring& named);
