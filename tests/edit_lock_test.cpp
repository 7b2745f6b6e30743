// The edit lock on Linux: a second editor of a file waits while the first
// holds it, takes the lock of the file the name gives once a writer renamed
// a new one over it, and gives up after its longest wait.
#include "shell/files/edit_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "tests/scratch_dir.h"

namespace {

using test_files::ScratchDir;
using Clock = std::chrono::steady_clock;

constexpr auto kHold = std::chrono::milliseconds(150);

// Whether another open of `name` could take its flock now.
bool LockedByOther(const std::string& name) {
  const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  return locked;
}

TEST(EditLockTest, ASecondEditorWaitsUntilTheFirstLetsGoThenHoldsTheFileTheNameGivesNow) {
  for (const bool renamedOver : {false, true}) {
    SCOPED_TRACE(renamedOver ? "a new file renamed over it meanwhile" : "the same file");
    ScratchDir dir;
    const std::string map = dir.Write("MazeMap.txt", "old");
    std::optional<EditLock> first(std::in_place, map.c_str());
    ASSERT_TRUE(first->held());
    auto second = std::async(std::launch::async, [&map] {
      auto lock = std::make_unique<EditLock>(map.c_str());
      return std::make_pair(Clock::now(), std::move(lock));
    });
    std::this_thread::sleep_for(kHold);
    if (renamedOver) {
      ASSERT_EQ(std::rename(dir.Write("MazeMap.txt.partial-1", "new").c_str(), map.c_str()), 0);
    }
    const Clock::time_point released = Clock::now();
    first.reset();
    auto [taken, lock] = second.get();
    EXPECT_TRUE(lock->held());
    EXPECT_GE(taken, released);
    EXPECT_TRUE(LockedByOther(map)) << "the second editor holds the lock of another file";
  }
}

TEST(EditLockTest, GivesUpAfterItsLongestWaitAndLocksNothingThatIsNoRegularFile) {
  ScratchDir dir;
  const std::string map = dir.Write("MazeMap.txt", "old");
  const EditLock first(map.c_str());
  const Clock::time_point start = Clock::now();
  const EditLock second(map.c_str());
  EXPECT_FALSE(second.held());
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(EditLock::kMaxWaitMs));

  for (const std::string& name : {dir.PathOf("missing.txt"), dir.PathOf("")}) {
    const Clock::time_point before = Clock::now();
    EXPECT_FALSE(EditLock(name.c_str()).held()) << name;
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(EditLock::kMaxWaitMs)) << name;
  }
}

}  // namespace
