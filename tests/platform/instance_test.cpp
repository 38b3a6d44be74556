#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/instance.h"
#include "platform/paths.h"
#include "temp_dir.h"

namespace {

// Runs fn in a forked child; its answer comes back as the exit status (0 false, 1 true).
int InChild(const std::function<bool()>& fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn() ? 1 : 0);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool OtherProcessAcquires() { return Plat_AcquireInstanceLock("gravenholt.lock"); }

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override { Plat_SetProfileDir(dir.path()); }
    void TearDown() override {
        Plat_ReleaseInstanceLock();
        Plat_SetProfileDir("");
    }
    TempDir dir;
};

TEST_F(InstanceLockTest, SecondProcessIsRefusedWhileTheLockIsHeld) {
    ASSERT_TRUE(Plat_AcquireInstanceLock("gravenholt.lock"));
    EXPECT_TRUE(std::filesystem::exists(dir / "gravenholt.lock"));
    EXPECT_TRUE(Plat_AcquireInstanceLock("gravenholt.lock"));  // already ours
    EXPECT_EQ(InChild(OtherProcessAcquires), 0);

    // A child that inherited the descriptor and releases must not free the parent's lock.
    EXPECT_EQ(InChild([] {
                  Plat_ReleaseInstanceLock();
                  return true;
              }),
              1);
    EXPECT_EQ(InChild(OtherProcessAcquires), 0);

    Plat_ReleaseInstanceLock();
    EXPECT_EQ(InChild(OtherProcessAcquires), 1);
    EXPECT_TRUE(Plat_AcquireInstanceLock("gravenholt.lock"));  // again after release
    EXPECT_EQ(InChild(OtherProcessAcquires), 0);
}

TEST_F(InstanceLockTest, ProfileDirectoriesLockSeparately) {
    TempDir other;
    ASSERT_TRUE(Plat_AcquireInstanceLock("gravenholt.lock"));
    EXPECT_EQ(InChild([&] {
                  Plat_SetProfileDir(other.path());
                  return Plat_AcquireInstanceLock("gravenholt.lock");
              }),
              1);
}

TEST_F(InstanceLockTest, UnopenableLockFileIsRefused) {
    Plat_SetProfileDir(dir / "missing");
    EXPECT_FALSE(Plat_AcquireInstanceLock("gravenholt.lock"));
    EXPECT_FALSE(Plat_AcquireInstanceLock(""));
    EXPECT_FALSE(Plat_AcquireInstanceLock(nullptr));
}

}  // namespace
