#include "brimwell/core/storage/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <regex>

#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::FaultyFileSystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

Status noSync(int) { return {}; }

TEST(AtomicFileTest, WritesTheWholeContentCreatingMissingDirectories) {
  TempDir dir;
  const auto target = dir / "a/b/c/journal.json";
  ASSERT_TRUE(AtomicFile::write("{\"x\":1}", target));
  EXPECT_EQ(readFile(target), "{\"x\":1}");
  EXPECT_EQ(dir.names(dir / "a/b/c"), std::vector<std::string>{"journal.json"});

  // Empty data leaves an empty file, whether the target existed or not.
  ASSERT_TRUE(AtomicFile::write("", target));
  EXPECT_EQ(readFile(target), "");
  ASSERT_TRUE(AtomicFile::write("", dir / "fresh.json"));
  EXPECT_TRUE(std::filesystem::exists(dir / "fresh.json"));
  EXPECT_EQ(std::filesystem::file_size(dir / "fresh.json"), 0u);
}

TEST(AtomicFileTest, TemporaryNameIsHiddenBesideTheTargetWithAnUpperCaseUUID) {
  const auto temporary = AtomicFile::temporaryPath("/x/y/journal.json");
  EXPECT_EQ(temporary.parent_path(), "/x/y");
  EXPECT_TRUE(std::regex_match(
      temporary.filename().string(),
      std::regex(
          R"(\.journal\.json\.[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\.tmp)")))
      << temporary;
  EXPECT_NE(temporary, AtomicFile::temporaryPath("/x/y/journal.json"));
}

TEST(AtomicFileTest, EveryFailingStepKeepsTheOldContentAndLeavesNoTemporaryFile) {
  using Faulty = FaultyFileSystem;
  const struct {
    const char* name;
    void (*inject)(Faulty&);
    Error expected;
    Status (*flush)(int) = noSync;
  } cases[] = {
      {"disk full mid-way", [](Faulty& fs) { fs.bytesBeforeDiskFull = 3; }, Error::posix(ENOSPC)},
      {"disk full at once", [](Faulty& fs) { fs.bytesBeforeDiskFull = 0; }, Error::posix(ENOSPC)},
      {"write error", [](Faulty& fs) { fs.writeError = EIO; }, Error::posix(EIO)},
      {"close fails", [](Faulty& fs) { fs.closeError = EIO; }, Error::posix(EIO)},
      {"rename fails", [](Faulty& fs) { fs.renameError = EXDEV; }, Error::posix(EXDEV)},
      {"create fails", [](Faulty& fs) { fs.createError = EACCES; }, Error::posix(EACCES)},
      {"directory fails", [](Faulty& fs) { fs.createDirectoriesError = EROFS; },
       Error("Can't create the folder.", EROFS)},
      {"flush fails", [](Faulty&) {}, Error::posix(EIO),
       [](int) -> Status { return failPosix(EIO); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const auto target = dir / "state.json";
    writeFile(target, "old content");
    FaultyFileSystem fs;
    c.inject(fs);
    Status written = AtomicFile::write("new content that is longer", target, c.flush, fs);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), c.expected);
    EXPECT_EQ(readFile(target), "old content");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"state.json"});
  }
}

TEST(AtomicFileTest, ARenameOntoADirectoryFailsAndLeavesItUntouched) {
  TempDir dir;
  const auto target = dir / "state.json";
  std::filesystem::create_directory(target);
  writeFile(target / "inside", "kept");
  Status written = AtomicFile::write("new", target);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().code(), EISDIR);
  EXPECT_EQ(readFile(target / "inside"), "kept");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"state.json"});
}

TEST(AtomicFileTest, InterruptedAndShortWritesStillWriteEveryByte) {
  TempDir dir;
  FaultyFileSystem fs;
  fs.interruptedWrites = 2;
  fs.maxBytesPerWrite = 5;
  const std::string data(23, 'x');
  ASSERT_TRUE(AtomicFile::write(data, dir / "f", noSync, fs));
  EXPECT_EQ(readFile(dir / "f"), data);
  EXPECT_EQ(fs.writeCalls, 2 + 5);
}

TEST(AtomicFileTest, NewFilesGetMode0644UnderTheUmask) {
  TempDir dir;
  const mode_t previous = ::umask(022);
  ASSERT_TRUE(AtomicFile::write("x", dir / "f"));
  ::umask(previous);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "f").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(AtomicFileTest, FullSyncReportsTheSystemError) {
  Status synced = AtomicFile::fullSync(-1);
  ASSERT_FALSE(synced);
  EXPECT_EQ(synced.error().code(), EBADF);
}

TEST(AtomicFileTest, AProducedWriteKeepsTheOldContentWhenTheProducerOrTheDiskFails) {
  TempDir dir;
  const auto target = dir / "snapshot.json";
  writeFile(target, "old");
  const AtomicFile::Producer halfThenFail = [](const AtomicFile::ByteSink& sink) -> Status {
    if (Status sent = sink("{\"half\":"); !sent) return sent;
    return fail("The number inf can't be written as JSON.");
  };
  const Status failed = AtomicFile::writeProduced(halfThenFail, target, noSync);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message(), "The number inf can't be written as JSON.");

  // The sink passes the disk's error on, and the producer stops there.
  FaultyFileSystem fs;
  fs.bytesBeforeDiskFull = 5;
  int piecesAfterFailure = 0;
  const AtomicFile::Producer pieces = [&](const AtomicFile::ByteSink& sink) -> Status {
    for (int piece = 0; piece < 3; ++piece) {
      if (Status sent = sink("0123456789"); !sent) return sent;
      piecesAfterFailure += fs.bytesBeforeDiskFull == 0;
    }
    return {};
  };
  const Status full = AtomicFile::writeProduced(pieces, target, noSync, fs);
  ASSERT_FALSE(full);
  EXPECT_EQ(full.error().code(), ENOSPC);
  EXPECT_EQ(piecesAfterFailure, 0);
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(dir.names(dir.path()), std::vector<std::string>{"snapshot.json"});

  const AtomicFile::Producer whole = [](const AtomicFile::ByteSink& sink) -> Status {
    for (const char* piece : {"{\"a\":", "1", "}"}) {
      if (Status sent = sink(piece); !sent) return sent;
    }
    return {};
  };
  ASSERT_TRUE(AtomicFile::writeProduced(whole, target, noSync));
  EXPECT_EQ(readFile(target), "{\"a\":1}");
}

}  // namespace
}  // namespace brimwell
