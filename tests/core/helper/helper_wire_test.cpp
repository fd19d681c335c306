#include "brimwell/core/helper/helper_wire.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(HelperWireTest, RequestsRoundTripWithTheirArguments) {
  HelperRequest plain{7, HelperCall::sleepNow, std::nullopt, std::nullopt};
  HelperRequest on{8, HelperCall::setLowPowerMode, true, std::nullopt};
  HelperRequest mode{9, HelperCall::setBatteryHibernateMode, std::nullopt, 25};
  for (const auto& request : {plain, on, mode}) {
    auto parsed = parseRequest(encodeRequest(request));
    ASSERT_TRUE(parsed) << encodeRequest(request);
    EXPECT_EQ(*parsed, request);
  }
  EXPECT_EQ(encodeRequest(on), R"({"id":8,"on":true,"op":"setLowPowerMode"})");
}

TEST(HelperWireTest, BadRequestsAreAnsweredWithAMessageAndTheIdWhenKnown) {
  struct Row {
    const char* line;
    std::optional<std::int64_t> id;
    const char* message;
  };
  const Row rows[] = {
      {"garbage", std::nullopt, "The request is not a JSON object."},
      {"[1,2]", std::nullopt, "The request is not a JSON object."},
      {R"({"op":"sleepNow"})", std::nullopt, "The request has no whole-number \"id\"."},
      {R"({"id":1.5,"op":"sleepNow"})", std::nullopt, "The request has no whole-number \"id\"."},
      {R"({"id":3})", 3, "The request has no \"op\" naming an operation."},
      {R"({"id":3,"op":"sleepnow"})", 3, "The helper has no operation named \"sleepnow\"."},
      {R"({"id":3,"op":"sleepNow "})", 3, "The helper has no operation named \"sleepNow \"."},
      {R"({"id":3,"op":""})", 3, "The helper has no operation named \"\"."},
      {R"({"id":4,"op":"setLowPowerMode"})", 4,
       "setLowPowerMode needs \"on\" set to true or false."},
      {R"({"id":4,"op":"setLowPowerMode","on":1})", 4,
       "setLowPowerMode needs \"on\" set to true or false."},
      {R"({"id":5,"op":"setBatteryHibernateMode","mode":"25"})", 5,
       "setBatteryHibernateMode needs \"mode\" as a whole number."},
      {R"({"id":5,"op":"setBatteryHibernateMode","mode":3.0})", 5,
       "setBatteryHibernateMode needs \"mode\" as a whole number."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    auto parsed = parseRequest(row.line);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().id, row.id);
    EXPECT_EQ(parsed.error().message, row.message);
  }
}

TEST(HelperWireTest, RepliesCarryOnlyTheirFieldsAndRoundTrip) {
  HelperReply failed;
  failed.id = 2;
  failed.on = false;
  failed.message = "pmset -g does not report Low Power Mode on this Mac";
  EXPECT_EQ(
      encodeReply(failed),
      R"({"id":2,"message":"pmset -g does not report Low Power Mode on this Mac","on":false})");
  EXPECT_EQ(parseReply(encodeReply(failed)).value(), failed);
  EXPECT_EQ(encodeReply(HelperReply{}), R"({"id":null})");
  EXPECT_FALSE(parseReply("nope"));
}

}  // namespace
}  // namespace brimwell
