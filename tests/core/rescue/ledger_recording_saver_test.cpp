#include "brimwell/core/rescue/ledger_recording_saver.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

// Answers every pass with the output it holds, on the calling thread, once it is told to.
class HeldSaver final : public DocumentSaving {
 public:
  SavePassOutput output;
  std::function<void(SavePassOutput)> pending;
  void saveDocuments(const std::filesystem::path&, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    pending = std::move(done);
  }
  void answer() { std::exchange(pending, nullptr)(output); }
};

TEST(LedgerRecordingSaverTest, RecordsEachPassesCopiesAtItsStartBeforeItAnswers) {
  testing::TempDir dir;
  auto inner = std::make_shared<HeldSaver>();
  auto ledger = std::make_shared<RescueLedger>(dir / "rescue-ledger.json");
  Date now = *BrimwellJSON::parse("2026-03-01T14:05:00Z");
  const Date began = now;
  LedgerRecordingSaver saver(inner, ledger, [&] { return now; });

  const RescuedDocument copy{"org.gnu.emacs", "Emacs", "*scratch*", "/Rescued/scratch.txt"};
  inner->output = {{SaverResult{"org.gnu.emacs", "Emacs", SaverOutcome::saved, 0, 1, "x"}}, {copy}};
  std::optional<SavePassOutput> answered;
  saver.saveDocuments("/Rescued", {}, {}, [&](SavePassOutput output) {
    EXPECT_EQ(ledger->entries().size(), 1u);  // recorded before the pass answers
    answered = std::move(output);
  });
  now = addSeconds(now, 30);  // the pass takes a while; the copy is dated by its start
  inner->answer();
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->rescued, std::vector{copy});
  EXPECT_EQ(ledger->entries(), (std::vector{RescueLedger::Entry{copy, began}}));

  // A pass that rescued nothing leaves the ledger as it was.
  inner->output = {};
  saver.saveDocuments("/Rescued", {}, {}, [](SavePassOutput) {});
  inner->answer();
  EXPECT_EQ(ledger->entries().size(), 1u);
}

TEST(LedgerRecordingSaverTest, ALedgerThatCantBeWrittenStillLetsThePassAnswer) {
  testing::TempDir dir;
  testing::writeFile(dir / "file", "");
  auto inner = std::make_shared<HeldSaver>();
  LedgerRecordingSaver saver(inner, std::make_shared<RescueLedger>(dir / "file" / "ledger.json"),
                             [] { return Date{}; });
  inner->output.rescued = {{"a", "A", "t", "/Rescued/t"}};
  bool answered = false;
  saver.saveDocuments("/Rescued", {}, {},
                      [&](SavePassOutput output) { answered = output.rescued.size() == 1; });
  inner->answer();
  EXPECT_TRUE(answered);
}

}  // namespace
}  // namespace brimwell
