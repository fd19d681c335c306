#include "helper/call_authority.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace brimwell {
namespace {

TEST(CallAuthorityTest, OnlyTheThreeReadsAreOpenToEveryUserInThePolicyShipped) {
  std::stringstream policy;
  policy << std::ifstream(BRIMWELL_POLKIT_POLICY).rdbuf();
  const std::string text = policy.str();
  // The defaults the installed policy gives an action: allow_any, allow_inactive, allow_active.
  auto defaults = [&](std::string_view id) {
    std::smatch match;
    const std::regex action("<action id=\"" + std::string(id) +
                            "\">[^]*?<allow_any>(\\w+)</allow_any>\\s*<allow_inactive>(\\w+)"
                            "</allow_inactive>\\s*<allow_active>(\\w+)</allow_active>");
    if (!std::regex_search(text, match, action)) return std::string("missing");
    return match[1].str() + " " + match[2].str() + " " + match[3].str();
  };
  for (HelperCall call : allHelperCalls) {
    const bool reads = call == HelperCall::helperVersion || call == HelperCall::lowPowerMode ||
                       call == HelperCall::batteryHibernateMode;
    SCOPED_TRACE(toString(call));
    EXPECT_EQ(actionFor(call), reads ? HelperAction::read : HelperAction::change);
    EXPECT_EQ(defaults(polkitActionId(actionFor(call))), reads ? "yes yes yes" : "no no yes");
  }
}

}  // namespace
}  // namespace brimwell
