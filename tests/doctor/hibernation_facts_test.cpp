#include "linux/doctor/hibernation_facts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/doctor/fake_root.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::put;
using testing::TempDir;

TEST(HibernationFactsTest, ParsesTheKernelsTexts) {
  const std::string meminfo =
      "MemTotal:       16252928 kB\nMemFree:         1000000 kB\nSwapTotal:       2097148 kB\n";
  EXPECT_EQ(meminfoKiB(meminfo, "MemTotal"), 16252928);
  EXPECT_EQ(meminfoKiB(meminfo, "SwapTotal"), 2097148);
  EXPECT_EQ(meminfoKiB(meminfo, "Swap"), std::nullopt);
  EXPECT_EQ(meminfoKiB("MemTotal: lots kB\n", "MemTotal"), std::nullopt);

  const auto areas = parseSwaps(
      "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
      "/dev/nvme0n1p3                          partition\t16777212\t0\t\t-2\n"
      "/dev/zram0                              partition\t4194300\t\t0\t\t100\n"
      "garbage\n");
  EXPECT_EQ(areas, (std::vector<SwapArea>{{"/dev/nvme0n1p3", 16777212}, {"/dev/zram0", 4194300}}));

  EXPECT_EQ(resumeParameter("BOOT_IMAGE=/vmlinuz root=UUID=1 resume=UUID=abcd quiet\n"),
            "UUID=abcd");
  EXPECT_EQ(resumeParameter("root=/dev/sda1 noresume resume= quiet"), std::nullopt);
  EXPECT_EQ(resumeParameter("resume=/dev/sda2 resume=/dev/sda3"), "/dev/sda3");

  EXPECT_EQ(selectedChoice("none [integrity] confidentiality\n"), "integrity");
  EXPECT_EQ(selectedChoice("none integrity"), std::nullopt);
  EXPECT_EQ(choiceWords("[platform] shutdown reboot suspend test_resume\n"),
            (std::vector<std::string>{"platform", "shutdown", "reboot", "suspend", "test_resume"}));
}

TEST(HibernationFactsTest, UsableSwapLeavesCompressedMemoryOut) {
  HibernationFacts facts;
  facts.swapTotalKiB = 500;
  EXPECT_EQ(usableSwapKiB(facts), 500);  // /proc/swaps unreadable: SwapTotal
  facts.swaps = std::vector<SwapArea>{{"/dev/zram0", 400}, {"/swapfile", 100}};
  EXPECT_EQ(usableSwapKiB(facts), 100);
  facts.swaps->clear();
  EXPECT_EQ(usableSwapKiB(facts), 0);
}

TEST(HibernationFactsTest, ReadsAFakeRootAndTakesMissingFilesAsAbsent) {
  TempDir root;
  EXPECT_EQ(readHibernationFacts(root.path()), HibernationFacts{});

  put(root.path() / "proc/meminfo", "MemTotal: 8000000 kB\nSwapTotal: 9000000 kB\n");
  put(root.path() / "proc/swaps",
      "Filename Type Size Used Priority\n/swapfile file 9000000 0 -2\n");
  put(root.path() / "proc/cmdline", "root=/dev/sda1 resume=/dev/sda2\n");
  put(root.path() / "sys/power/resume", "8:2\n");
  put(root.path() / "sys/kernel/security/lockdown", "[none] integrity confidentiality\n");
  put(root.path() / "sys/power/disk", "[platform] shutdown reboot suspend\n");
  put(root.path() / "sys/power/state", "freeze mem disk\n");
  HibernationFacts expected;
  expected.memTotalKiB = 8000000;
  expected.swapTotalKiB = 9000000;
  expected.swaps = std::vector<SwapArea>{{"/swapfile", 9000000}};
  expected.commandLineResume = "/dev/sda2";
  expected.resumeDevice = "8:2";
  expected.lockdown = "none";
  expected.diskModes = std::vector<std::string>{"platform", "shutdown", "reboot", "suspend"};
  expected.sleepStates = std::vector<std::string>{"freeze", "mem", "disk"};
  EXPECT_EQ(readHibernationFacts(root.path()), expected);

  // A FIFO where a kernel file should be is refused, never waited on.
  std::filesystem::remove(root.path() / "proc/cmdline");
  ASSERT_EQ(::mkfifo((root.path() / "proc/cmdline").c_str(), 0600), 0);
  EXPECT_EQ(readHibernationFacts(root.path()).commandLineResume, std::nullopt);
}

}  // namespace
}  // namespace brimwell
