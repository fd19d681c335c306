#include "core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;

// Every sentence the engine tells through captureFailed, in the situation that causes it.
TEST(EngineMessagesTest, EachFailureIsToldWithItsExactSentence) {
  const struct {
    const char* name;
    void (*act)(EngineHarness&);
    const char* message;
  } cases[] = {
      {"ordinary capture over 90 s",
       [](EngineHarness& h) {
         h.capturer->hold = true;
         h.engine->captureNow([](auto) {});
         h.advance(90);
       },
       "Remembering your workspace took longer than 90 seconds, so Brimwell set it aside. An app "
       "may not be answering."},
      {"landing capture over 20 s",
       [](EngineHarness& h) {
         h.capturer->hold = true;
         h.reading(2, PowerSource::battery);
         h.advance(20);
       },
       "Remembering your workspace took longer than 20 seconds at the last moment, so Brimwell "
       "moved on to saving."},
      {"save pass over 90 s",
       [](EngineHarness& h) {
         h.saver->hold = true;
         h.reading(9, PowerSource::battery);
         h.advance(90);
       },
       "Saving took longer than 90 seconds, so Brimwell moved on. An app may not be answering."},
      {"landing save pass over 45 s",
       [](EngineHarness& h) {
         h.saver->hold = true;
         h.reading(2, PowerSource::battery);
         h.advance(45);
       },
       "Saving took longer than 45 seconds at the last moment, so Brimwell moved on. An app may "
       "not be answering."},
      {"snapshot not stored",
       [](EngineHarness& h) {
         // The snapshot folder's place is taken by a file.
         std::filesystem::create_directories(h.paths.support);
         testing::writeFile(h.paths.snapshots(), "in the way");
         h.engine->captureNow([](auto) {});
       },
       "Couldn't save the snapshot: Not a directory"},
  };
  for (const auto& c : cases) {
    EngineHarness h;
    h.settings.protectAgainstCrashes = false;
    h.start();
    c.act(h);
    h.poll();
    const std::string expected = std::string("captureFailed ") + c.message;
    EXPECT_EQ(std::count(h.events.begin(), h.events.end(), expected), 1)
        << c.name << ": " << ::testing::PrintToString(h.events);
  }
}

TEST(EngineMessagesTest, ATimedOutSavePassStillLeadsToTheEntrySnapshotWithNoResults) {
  EngineHarness h;
  h.start();
  h.saver->hold = true;
  h.reading(9, PowerSource::battery);
  h.advance(90);
  EXPECT_EQ(h.events.back(), "savePassFinished 0 brimwell");
  EXPECT_TRUE(h.engine->state().lastSaveResults.empty());
  EXPECT_EQ(h.engine->state().lastSavePass, std::nullopt);
}

}  // namespace
}  // namespace brimwell
