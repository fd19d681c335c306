#include "brimwell/core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;

// Captures and saves, completing every call on a thread of its own, as real collaborators may.
class Threaded final : public WorkspaceCapturing, public DocumentSaving {
 public:
  explicit Threaded(testing::ScriptedCapturer& maker) : maker_(maker) {}
  ~Threaded() override {
    for (auto& thread : threads_) thread.join();
  }
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>&,
               const std::set<std::string>&, bool, std::function<void(Snapshot)> done) override {
    Snapshot snapshot = maker_.make(trigger);
    snapshot.id = "ignored";  // the engine names it from its date
    snapshot.meta.createdAt += std::chrono::milliseconds(threads_.size() + 1);
    threads_.emplace_back([snapshot, done = std::move(done)] { done(snapshot); });
  }
  void saveDocuments(const std::filesystem::path&, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    threads_.emplace_back([done = std::move(done)] {
      done({{{"com.example.writer", "Writer", SaverOutcome::saved, 1, 0, std::nullopt}}, {}});
    });
  }

 private:
  testing::ScriptedCapturer& maker_;
  std::vector<std::thread> threads_;
};

TEST(EngineThreadsTest, CompletionsFromOtherThreadsAreHandledOnTheEngineThread) {
  EngineHarness h;
  auto threaded = std::make_shared<Threaded>(*h.capturer);
  h.engine = std::make_shared<BrimwellEngine>(
      h.context,
      BrimwellEngine::Collaborators{h.battery, threaded, threaded, h.powerSaver, h.helper,
                                    h.systemInfo},
      h.snapshots, h.journalStore, h.paths, [&h] { return h.settings; }, "1.0", h.clock);
  // Snapshot writes on the engine's own background thread, as in production.
  const auto engineThread = std::this_thread::get_id();
  int events = 0;
  h.engine->onEvent = [&](const EngineEvent&) {
    EXPECT_EQ(std::this_thread::get_id(), engineThread);
    ++events;
  };
  h.engine->start();

  std::vector<std::optional<SnapshotSummary>> answers;
  h.engine->runDrill([&](auto s) { answers.push_back(s); });
  h.engine->captureNow([&](auto s) { answers.push_back(s); });
  h.engine->captureNow([&](auto s) { answers.push_back(s); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (answers.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    h.context.restart();
    h.context.run_one_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(answers.size(), 3u);
  for (const auto& answer : answers) ASSERT_TRUE(answer);
  // The drill's capture also answers the capture requests waiting when it began.
  EXPECT_EQ(answers[0]->trigger, CaptureTrigger::drill);
  EXPECT_EQ(answers[1], answers[0]);
  EXPECT_EQ(answers[2], answers[0]);
  EXPECT_EQ(h.storedSnapshots().size(), 1u);
  EXPECT_EQ(events, 1);  // the drill's savePassFinished
}

}  // namespace
}  // namespace brimwell
