#include "linux/linux_system_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

TEST(LinuxSystemInfoTest, ReadsBootIdAndModelOrSaysUnknown) {
  testing::TempDir proc;
  testing::TempDir sys;
  LinuxSystemInfo info(proc.path(), sys.path());
  EXPECT_EQ(info.bootSessionUUID(), "unknown");
  EXPECT_EQ(info.hostModel(), "unknown");

  std::filesystem::create_directories(proc / "sys/kernel/random");
  std::filesystem::create_directories(sys / "class/dmi/id");
  testing::writeFile(proc / "sys/kernel/random/boot_id", "56698288-4563-4728-bd33-827434290e37\n");
  testing::writeFile(sys / "class/dmi/id/product_name", "  Notebook 14 G6  \n");
  EXPECT_EQ(info.bootSessionUUID(), "56698288-4563-4728-bd33-827434290e37");
  EXPECT_EQ(info.hostModel(), "Notebook 14 G6");

  testing::writeFile(sys / "class/dmi/id/product_name", " \n");
  EXPECT_EQ(info.hostModel(), "unknown") << "a blank name is no model";
}

}  // namespace
}  // namespace brimwell
