// The output-screen choice without a display: names told apart, the stored choice, and the
// fall-back to the primary screen while the chosen one is gone.
#include "playback/COutputScreen.h"

#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"

#include <gtest/gtest.h>

TEST(OutputScreen, RepeatedNamesAreNumberedAndTheChoiceFallsBackToThePrimaryAndReturns) {
    const QRect r(0, 0, 640, 480);
    EXPECT_EQ(COutputScreen::UniqueNames({{"a", r}, {"a", r}, {"a #2", r}, {"", r}}),
              (QStringList{"a", "a #3", "a #2", "Screen 4"}))
        << "a name the system gave is never handed out twice";

    CLogCapture log;
    CMemoryProfile profile;
    const QList<COutputScreen::Screen> two = {{"screen", QRect(0, 0, 1280, 800)},
                                              {"screen", QRect(0, 0, 1024, 768)}};
    COutputScreen output(profile);
    output.SetScreens(two, 0);
    EXPECT_EQ(output.Current(), 0) << "nothing stored: the primary screen";
    EXPECT_EQ(output.Label(1), "screen #2 (1024x768)");
    output.Choose(1);
    EXPECT_EQ(profile.Value("Video", "OutputScreen").toString(), "screen #2");

    COutputScreen next(profile); // the next run, first without that screen
    for (int n = 0; n < 2; ++n)
        next.SetScreens({two[0]}, 0);
    EXPECT_EQ(next.Current(), 0);
    ASSERT_EQ(log.Lines().size(), 1u) << "said once when it goes, not again while it is away";
    EXPECT_EQ(log.Lines()[0].text, "COutputScreen::SetScreens(): Screen \"screen #2\" is not "
                                   "connected; full-screen output goes to the primary screen "
                                   "\"screen\".");
    next.SetScreens(two, 0);
    EXPECT_EQ(next.Current(), 1);
    EXPECT_TRUE(log.Contains("Screen \"screen #2\" is back; full-screen output returns to it."));
}
