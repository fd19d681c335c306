#include "brimwell/core/journal/journal.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

Date at(const char* text) { return *BrimwellJSON::parse(text); }

const char* const kMinimal =
    R"({"appVersion":"1.0","bootSessionUUID":"B","cleanExit":false,"drillPending":false,)"
    R"("heartbeat":"2026-03-01T14:05:09.250Z","phase":"watch"})";

TEST(JournalTest, EncodesOnlyPresentFieldsInKeyOrderAndRoundTrips) {
  auto minimal = BrimwellJSON::decode<Journal>(std::string_view(kMinimal));
  ASSERT_TRUE(minimal);
  EXPECT_EQ(*BrimwellJSON::encode(*minimal), kMinimal);

  const Journal full{at("2026-03-01T14:05:09.250Z"),
                     7,
                     PowerSource::battery,
                     Phase::landing,
                     "B",
                     "20260301T140000.000Z",
                     true,
                     true,
                     "1.0",
                     "20260301T130000.000Z",
                     ExitReason::sigterm,
                     "20260301T120000.000Z",
                     PendingRestoreKind::drill,
                     at("2026-03-01T12:00:00Z"),
                     "20260301T110000.000Z",
                     at("2026-03-08T12:00:00Z")};
  auto text = BrimwellJSON::encode(full);
  ASSERT_TRUE(text);
  EXPECT_EQ(BrimwellJSON::decode<Journal>(*text).value(), full);
}

TEST(JournalTest, DecodingIsStrictAboutRequiredKeysAndEnumerationTexts) {
  const auto edited = [](const std::string& from, const std::string& to) {
    std::string text = kMinimal;
    return text.replace(text.find(from), from.size(), to);
  };
  const struct {
    std::string text;
    bool decodes;
  } cases[] = {
      {"{}", false},
      {edited(R"(,"phase":"watch")", ""), false},
      {edited(R"("phase":"watch")", R"("phase":"dusk")"), false},
      {edited(R"("phase":"watch")", R"("phase":"ready","exitReason":"crash")"), false},
      {edited(R"("heartbeat":"2026-03-01T14:05:09.250Z")", R"("heartbeat":"soon")"), false},
      {edited(R"("phase":"watch")", R"("phase":"ready","pinnedUntil":null,"future":1)"), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BrimwellJSON::decode<Journal>(c.text).has_value(), c.decodes) << c.text;
  }
}

TEST(JournalTest, PendingRestoreVerdictNeedsADateOnlyForTheShutdownKinds) {
  const Date when = at("2026-03-01T12:00:00Z");
  const struct {
    std::optional<std::string> id;
    std::optional<PendingRestoreKind> kind;
    std::optional<Date> at;
    std::optional<ShutdownVerdict> expected;
  } cases[] = {
      {"S", PendingRestoreKind::ranOutOfBattery, when, ShutdownVerdict::ranOutOfBattery(when, "S")},
      {"S", PendingRestoreKind::ranOutOfBattery, std::nullopt, std::nullopt},
      {"S", PendingRestoreKind::unexpectedShutdown, when,
       ShutdownVerdict::unexpectedShutdown(when, "S")},
      {"S", PendingRestoreKind::unexpectedShutdown, std::nullopt, std::nullopt},
      {"S", PendingRestoreKind::drill, std::nullopt, ShutdownVerdict::drill("S")},
      {std::nullopt, PendingRestoreKind::drill, when, std::nullopt},
      {"S", std::nullopt, when, std::nullopt},
  };
  for (const auto& c : cases) {
    Journal journal;
    journal.pendingRestoreSnapshotID = c.id;
    journal.pendingRestoreKind = c.kind;
    journal.pendingRestoreAt = c.at;
    EXPECT_EQ(journal.pendingRestoreVerdict(), c.expected);
  }
}

TEST(ShutdownVerdictTest, KindDateAndSnapshotRoundTripEveryOffer) {
  const Date when = at("2026-03-01T12:00:00Z");
  for (const auto& verdict :
       {ShutdownVerdict::ranOutOfBattery(when, "A"), ShutdownVerdict::unexpectedShutdown(when, "B"),
        ShutdownVerdict::drill("C")}) {
    EXPECT_EQ(ShutdownVerdict::make(*verdict.kind(), verdict.date(), *verdict.snapshotID()),
              verdict);
  }
  EXPECT_EQ(ShutdownVerdict::none().kind(), std::nullopt);
  EXPECT_NE(ShutdownVerdict::ranOutOfBattery(when, "A"),
            ShutdownVerdict::ranOutOfBattery(when + std::chrono::milliseconds(1), "A"));
  EXPECT_NE(ShutdownVerdict::ranOutOfBattery(when, "A"),
            ShutdownVerdict::unexpectedShutdown(when, "A"));
}

}  // namespace
}  // namespace brimwell
