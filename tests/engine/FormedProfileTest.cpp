#include "engine/settings/ConversionProfile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace quarrow;

TEST(FormedProfile, FormsSurviveWriteAndRead)
{
    for (const ValueForms forms : {ValueForms{DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy},
                                   ValueForms{DecimalMark::Point, GroupMark::Apostrophe, DateOrder::None},
                                   ValueForms{DecimalMark::None, GroupMark::None, DateOrder::Mdy},
                                   ValueForms{DecimalMark::Comma, GroupMark::Blank, DateOrder::Ymd},
                                   ValueForms{DecimalMark::Point, GroupMark::Comma, DateOrder::Iso}}) {
        ConversionProfile profile;
        profile.script.forms = forms;
        const std::string text = profileText(profile);
        SCOPED_TRACE(text);
        EXPECT_EQ(parseProfile(text, "p.toml").script.forms, forms);
    }
    ConversionProfile german;
    german.script.forms = {DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy};
    const std::string text = profileText(german);
    EXPECT_NE(text.find("\ndecimal = \"comma\""), std::string::npos);
    EXPECT_NE(text.find("\ngroup = \".\""), std::string::npos);
    EXPECT_NE(text.find("\ndates = \"dmy\""), std::string::npos);
    // No forms chosen: the keys are not written, and a profile without them
    // (as every older one) reads as no forms.
    EXPECT_EQ(profileText(ConversionProfile{}).find("decimal"), std::string::npos);
    EXPECT_EQ(parseProfile("version = 1\nseparator = \";\"\n", "old.toml").script.forms, ValueForms{});
    EXPECT_EQ(parseProfile("version = 1\ndecimal = \"none\"\ndates = \"none\"\n", "p.toml").script.forms, ValueForms{});
}

TEST(FormedProfile, RefusedFormsNameTheKey)
{
    struct Case {
        std::string_view text;
        std::string_view what;
    };
    for (const Case& c : {Case{"version = 1\ndecimal = \"Comma\"\n", "line 2, key \"decimal\": unknown decimal mark"},
                          Case{"version = 1\ngroup = \"_\"\n", "line 2, key \"group\": unknown group separator"},
                          Case{"version = 1\ndates = \"dm\"\n", "line 2, key \"dates\": unknown date order"},
                          Case{"version = 1\ndates = true\n", "line 2, key \"dates\": expected a string"},
                          Case{"version = 1\ndecimal = \"comma\"\ngroup = \",\"\n",
                               "key \"group\": the group separator must differ from the decimal mark"}}) {
        try {
            parseProfile(c.text, "p.toml");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProfileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
        }
    }
}

} // namespace
