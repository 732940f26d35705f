#include "app/DriverSetupConsent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keylume {
namespace {

struct Dialogs {
    std::vector<std::string> asked;
    std::vector<std::string> told;
    bool answer = false;
    std::string untrusted;  // what the location check says

    DriverSetupConsent Make() {
        return DriverSetupConsent([this](const std::string&) { return untrusted; },
                                  [this](const std::string& q) {
                                      asked.push_back(q);
                                      return answer;
                                  },
                                  [this](const std::string& m) { told.push_back(m); });
    }
};

constexpr char kTool[] = "/usr/lib/keylume/driver/keylume-driver-setup";

TEST(DriverSetupConsent, AsksBeforeThePasswordAndNotAgainAfterNo) {
    Dialogs d;
    auto consent = d.Make();
    EXPECT_FALSE(consent.MayRun(kTool));
    EXPECT_FALSE(consent.MayRun(kTool));
    d.answer = true;  // a "no" holds for the rest of the run, even if the answer would change
    EXPECT_FALSE(consent.MayRun(kTool));
    ASSERT_EQ(d.asked.size(), 1u);
    // The question says what changes on the system.
    for (const char* words :
         {"udev rule", "this keyboard", "/dev/uinput", "uinput module", "every start", "password"})
        EXPECT_NE(d.asked[0].find(words), std::string::npos) << words;
    EXPECT_TRUE(d.told.empty());
}

TEST(DriverSetupConsent, YesLetsTheToolRun) {
    Dialogs d;
    d.answer = true;
    auto consent = d.Make();
    EXPECT_TRUE(consent.MayRun(kTool));
    EXPECT_EQ(d.asked.size(), 1u);
}

TEST(DriverSetupConsent, AChangeableLocationGivesTheCommandToRunByHandOnce) {
    Dialogs d;
    d.answer = true;
    d.untrusted = "/home/ann/keylume/build can be changed by users other than root";
    auto consent = d.Make();
    const std::string tool = "/home/ann/it's here/driver/keylume-driver-setup";
    EXPECT_FALSE(consent.MayRun(tool));
    EXPECT_FALSE(consent.MayRun(tool));
    EXPECT_TRUE(d.asked.empty());  // no password prompt is offered for it
    ASSERT_EQ(d.told.size(), 1u);
    EXPECT_NE(d.told[0].find("sudo '/home/ann/it'\\''s here/driver/keylume-driver-setup' install"),
              std::string::npos)
        << d.told[0];
}

}  // namespace
}  // namespace keylume
