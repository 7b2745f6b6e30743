// What the two safe writers share: the reasons they give for a file they
// leave alone, and how old a leftover partial file must be to be swept.
#pragma once

constexpr char kReadOnlyReason[] = "the file is read-only";
constexpr char kNotRegularReason[] = "it is not a regular file";
// A leftover NAME.partial-... younger than this may be one that a program
// has just made and not yet locked, or closed and not yet renamed: it is
// left alone.
constexpr int kLeftoverMinimumAgeSeconds = 10;
