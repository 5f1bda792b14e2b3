#include "support/CManualTickClock.h"
#include "widgets/CStatusDisplay.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

TEST(StatusDisplay, FormatTimeDropsDaysAndMillisecondsAndMarksNegativeTimes) {
    EXPECT_EQ(CStatusDisplay::FormatTime(0), QStringLiteral(" 0:00:00"));
    EXPECT_EQ(CStatusDisplay::FormatTime(83000), QStringLiteral(" 0:01:23"));
    EXPECT_EQ(CStatusDisplay::FormatTime(83999), QStringLiteral(" 0:01:23"));
    EXPECT_EQ(CStatusDisplay::FormatTime(3600000), QStringLiteral(" 1:00:00"));
    EXPECT_EQ(CStatusDisplay::FormatTime(90000000), QStringLiteral(" 1:00:00"));
    EXPECT_EQ(CStatusDisplay::FormatTime(86399999), QStringLiteral("23:59:59"));
    EXPECT_EQ(CStatusDisplay::FormatTime(-1), QStringLiteral("--:--:--.--"));
    // Lengths beyond 32 bits (the seek slider's 64-bit positions) still format.
    EXPECT_EQ(CStatusDisplay::FormatTime(int64_t(1) << 40),
              CStatusDisplay::FormatTime((int64_t(1) << 40) % 86400000));
}

class StatusDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent.resize(400, 14);
        m_clock.m_nTicks = 5000;
        m_display.SetTickClock(&m_clock);
    }
    // Runs the 100 ms timer for the given time and collects the texts shown.
    QStringList Run(int nMs) {
        QStringList texts;
        for (int t = 0; t < nMs; t += 100) {
            m_display.OnTimer();
            m_clock.Advance(100);
            const QString strText = m_display.LeftText();
            if (texts.isEmpty() || texts.back() != strText)
                texts << strText;
        }
        return texts;
    }
    QImage Paint(int nHeight, int nState) {
        CStatusDisplay display;
        display.Create(&m_parent, nHeight);
        display.SetPlayState(nState);
        QImage image(400, 14, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        display.Draw(painter);
        return image;
    }
    static bool HasSymbol(const QImage &image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 10; x < 26; ++x)
                if (image.pixelColor(x, y).green() > 150)
                    return true;
        return false;
    }

    QWidget m_parent;
    CManualTickClock m_clock;
    CStatusDisplay m_display;
};

TEST_F(StatusDisplayTest, DoesNothingBeforeCreate) {
    m_display.SetMessage(QStringLiteral("Playback started."));
    Run(5000);
    EXPECT_EQ(m_display.GetMode(), 0);
    QImage image(400, 14, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        m_display.Draw(painter);
    }
    QImage black(400, 14, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(image, black);
}

TEST_F(StatusDisplayTest, TextAlternatesWithAMessageAndNotWithout) {
    m_display.Create(&m_parent, 14);
    m_display.SetPlayState(2);
    m_display.SetMessage(QStringLiteral("Player B: Playback started."));
    // Each text stays 2.1 s: the period restarts on the tick after a change.
    EXPECT_EQ(Run(8300), (QStringList{"Playing", "Player B: Playback started.", "Playing",
                                      "Player B: Playback started."}));

    m_display.SetMessage(QString());
    EXPECT_EQ(m_display.LeftText(), QStringLiteral("Playing"));
    EXPECT_EQ(m_display.GetMode(), 0);
    EXPECT_EQ(Run(10000), QStringList{QStringLiteral("Playing")});
}

TEST_F(StatusDisplayTest, ModePeriodLastsTwentyOneTicksAndSurvivesTheClockWrapping) {
    m_display.Create(&m_parent, 14);
    m_display.SetMessage(QStringLiteral("x"));
    m_clock.m_nTicks = 0xFFFFFFFFu - 1000;
    int nTicks = 0;
    while (m_display.GetMode() == 0 && nTicks < 100) {
        m_display.OnTimer();
        m_clock.Advance(100);
        ++nTicks;
    }
    EXPECT_EQ(nTicks, 21);
}

TEST_F(StatusDisplayTest, SmallStripsHideTheSymbols) {
    EXPECT_TRUE(HasSymbol(Paint(14, 0)));
    EXPECT_TRUE(HasSymbol(Paint(14, 1)));
    EXPECT_TRUE(HasSymbol(Paint(14, 2)));
    EXPECT_TRUE(HasSymbol(Paint(7, 0)));
    EXPECT_FALSE(HasSymbol(Paint(7, 1)));
    EXPECT_FALSE(HasSymbol(Paint(7, 2)));
    EXPECT_FALSE(HasSymbol(Paint(6, 0)));
    EXPECT_FALSE(HasSymbol(Paint(14, 3)));

    // The stop square covers exactly 7 x 7 pixels from (14, m - 3).
    const QImage stop = Paint(14, 0);
    EXPECT_EQ(stop.pixelColor(14, 4), QColor(48, 200, 48));
    EXPECT_EQ(stop.pixelColor(17, 7), QColor(96, 238, 96));
    EXPECT_EQ(stop.pixelColor(20, 10), QColor(48, 200, 48));
    EXPECT_EQ(stop.pixelColor(21, 7), QColor(Qt::black));
    EXPECT_EQ(stop.pixelColor(17, 11), QColor(Qt::black));
}
