// The output-screen choice without a display: names told apart, the stored choice, and the
// fall-back to the primary screen while the chosen one is gone.
#include "playback/COutputScreen.h"

#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"

#include <gtest/gtest.h>

namespace {

using Screen = COutputScreen::Screen;

TEST(OutputScreen, RepeatedNamesAreToldApartByTheirOrderAmongNamesakes) {
    const QRect r(0, 0, 640, 480);
    EXPECT_EQ(COutputScreen::UniqueNames(
                  {{"screen", r}, {"screen", r}, {"HDMI-1", r}, {"screen", r}, {"", r}}),
              (QStringList{"screen", "screen #2", "HDMI-1", "screen #3", "Screen 5"}));
    // A name the system itself gave is never handed out twice.
    EXPECT_EQ(COutputScreen::UniqueNames({{"a", r}, {"a", r}, {"a #2", r}}),
              (QStringList{"a", "a #3", "a #2"}));
}

TEST(OutputScreen, ChoiceIsStoredAtOnceFallsBackToThePrimaryAndReturns) {
    CLogCapture log;
    CMemoryProfile profile;
    const QList<Screen> two = {{"screen", QRect(0, 0, 1280, 800)},
                               {"screen", QRect(0, 0, 1024, 768)}};
    {
        COutputScreen output(profile);
        output.SetScreens(two, 0);
        EXPECT_EQ(output.Current(), 0) << "nothing stored: the primary screen";
        EXPECT_EQ(output.Label(1), "screen #2 (1024x768)");
        output.Choose(1);
        EXPECT_EQ(profile.Value("Video", "OutputScreen").toString(), "screen #2");
    }

    COutputScreen output(profile); // the next run
    output.SetScreens(two, 0);
    EXPECT_EQ(output.Current(), 1);
    output.SetScreens({two[0]}, 0);
    output.SetScreens({two[0]}, 0);
    EXPECT_EQ(output.Current(), 0);
    EXPECT_TRUE(output.IsFallingBack());
    EXPECT_EQ(log.Lines().size(), 1u) << "one line when the screen goes, none while it is away";
    EXPECT_TRUE(log.Contains("COutputScreen::SetScreens(): Screen \"screen #2\" is not "
                             "connected; full-screen output goes to the primary screen "
                             "\"screen\"."));
    EXPECT_EQ(log.Lines().back().level, 2);
    EXPECT_EQ(profile.Value("Video", "OutputScreen").toString(), "screen #2")
        << "the choice outlives the screen's absence";

    output.SetScreens(two, 0);
    EXPECT_EQ(output.Current(), 1);
    EXPECT_TRUE(log.Contains("Screen \"screen #2\" is back; full-screen output returns to it."));

    output.Choose(-1);
    EXPECT_EQ(profile.Value("Video", "OutputScreen").toString(), "");
    output.SetScreens({}, -1);
    EXPECT_EQ(output.Current(), -1);
}

} // namespace
