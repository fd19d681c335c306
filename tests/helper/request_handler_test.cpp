#include "helper/request_handler.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "helper/process_command_runner.h"
#include "tests/helper/fake_pmset.h"

namespace brimwell {
namespace {

class RequestHandlerTest : public ::testing::Test {
 protected:
  FakePmset pmset;
  testing::TempDir records;
  HelperService service{
      std::make_shared<ProcessCommandRunner>(),
      std::make_shared<HelperRecordStore>((records / "state.json").string(), ::geteuid()), 7,
      pmset.path()};
  std::vector<HelperCall> asked;
  CallAuthorizer allowAll = [this](HelperCall call) {
    asked.push_back(call);
    return std::string();
  };
};

TEST_F(RequestHandlerTest, EachOperationRepliesOnceWithItsFields) {
  const std::pair<const char*, const char*> rows[] = {
      {R"({"id":1,"op":"helperVersion"})", R"({"id":1,"version":7})"},
      {R"({"id":2,"op":"lowPowerMode"})", R"({"id":2,"on":false})"},
      {R"({"id":3,"op":"batteryHibernateMode"})", R"({"id":3,"mode":3})"},
      {R"({"id":4,"op":"beginLowPowerMode"})", R"({"id":4,"turnedOn":true})"},
      {R"({"id":5,"op":"endLowPowerMode"})", R"({"id":5})"},
      {R"({"id":6,"op":"setLowPowerMode","on":true})", R"({"id":6})"},
      {R"({"id":7,"op":"setLowPowerMode","on":false})", R"({"id":7})"},
      {R"({"id":8,"op":"setBatteryHibernateMode","mode":25})", R"({"id":8})"},
      {R"({"id":9,"op":"batteryHibernateMode"})", R"({"id":9,"mode":25})"},
      {R"({"id":10,"op":"endSafeLanding"})", R"({"id":10})"},
      {R"({"id":11,"op":"beginSafeLanding"})", R"({"id":11})"},
      {R"({"id":12,"op":"setBatteryHibernateMode","mode":3})", R"({"id":12})"},
      {R"({"id":13,"op":"sleepNow"})", R"({"id":13})"},
      {R"({"id":14,"op":"setBatteryHibernateMode","mode":1})",
       R"({"id":14,"message":"Refused: hibernate mode 1 is not 0, 3 or 25"})"},
  };
  for (const auto& [request, reply] : rows)
    EXPECT_EQ(handleRequestLine(request, service, allowAll), reply);
  EXPECT_EQ(pmset.state()["sleeps"], "1");
  EXPECT_EQ(pmset.state()["battery_hibernatemode"], "3");

  pmset.control("fail=1");
  EXPECT_EQ(
      handleRequestLine(R"({"id":15,"op":"batteryHibernateMode"})", service, allowAll),
      R"({"id":15,"message":"pmset -g custom failed (1): pmset: injected failure","mode":-1})");
}

TEST_F(RequestHandlerTest, ARefusedCallIsAnsweredWithTheSentenceAndRunsNothing) {
  pmset.logRuns();
  const CallAuthorizer refuseChanges = [](HelperCall call) {
    return call == HelperCall::sleepNow ? std::string("Not you.") : std::string();
  };
  EXPECT_EQ(handleRequestLine(R"({"id":1,"op":"sleepNow"})", service, refuseChanges),
            R"({"id":1,"message":"Not you."})");
  EXPECT_FALSE(std::filesystem::exists(pmset.logPath()));
  EXPECT_EQ(handleRequestLine(R"({"id":2,"op":"helperVersion"})", service, refuseChanges),
            R"({"id":2,"version":7})");

  // A line that is no request is answered before anyone is asked.
  EXPECT_EQ(handleRequestLine(std::string_view("{\"id\":3,\"op\":\"sleepNow\"}\0", 25), service,
                              allowAll),
            R"({"id":null,"message":"The request holds a NUL byte."})");
  EXPECT_TRUE(asked.empty());
}

}  // namespace
}  // namespace brimwell
