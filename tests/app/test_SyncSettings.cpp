// Synchronised playback's settings and the paths the leader sends: a follower finds the medium
// under its own media folder, and a path never leads out of that folder.
#include "app/CSyncController.h"
#include "support/CMemoryProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(SyncSettings, ReadWithTheirDefaultsAndWrongValuesRefused) {
    CMemoryProfile profile;
    CSyncController::Settings s = CSyncController::Settings::Read(profile);
    EXPECT_EQ(s.role, CSyncController::Role::Off);
    EXPECT_EQ(s.nPort, 31775);
    EXPECT_EQ(s.nLatencyMs, 150);
    EXPECT_EQ(s.nOffsetMs, 0);

    profile.WriteProfileString("Sync", "Role", "Follower");
    profile.WriteProfileString("Sync", "Leader", "10.0.0.10");
    profile.WriteProfileInt("Sync", "Offset", -40);
    profile.WriteProfileInt("Sync", "Latency", 20000);
    s = CSyncController::Settings::Read(profile);
    EXPECT_EQ(s.role, CSyncController::Role::Follower);
    EXPECT_EQ(s.strLeader, "10.0.0.10");
    EXPECT_EQ(s.nOffsetMs, -40);
    EXPECT_EQ(s.nLatencyMs, 150) << "out of range";

    profile.WriteProfileString("Sync", "Leader", "leader.local");
    EXPECT_EQ(CSyncController::Settings::Read(profile).role, CSyncController::Role::Off)
        << "a follower needs the leader's IP address";
    // ... and says why it follows nobody, rather than seem switched off or healthy.
    const CShowState::Sync status =
        CSyncController(CSyncController::Settings::Read(profile)).GetStatus();
    EXPECT_EQ(status.strRole, "follower");
    EXPECT_EQ(status.strHealth, "no leader address");
    for (const char *pszGroup : {"255.255.255.255", "239.1.2.3", "0.0.0.0"}) {
        profile.WriteProfileString("Sync", "Leader", pszGroup);
        EXPECT_EQ(CSyncController::Settings::Read(profile).role, CSyncController::Role::Off)
            << pszGroup << ": heartbeats would go to many";
    }
}

TEST(SyncSettings, PathsTravelRelativeToTheMediaFolder) {
    QString strRoot, strRest;
    CSyncController::SplitPath("/show/act 1/clip.mp4", "/show", strRoot, strRest);
    EXPECT_EQ(strRoot, "/show");
    EXPECT_EQ(strRest, "act 1/clip.mp4");
    CSyncController::SplitPath("/elsewhere/clip.mp4", "/show", strRoot, strRest);
    EXPECT_EQ(strRoot, "/elsewhere");
    EXPECT_EQ(strRest, "clip.mp4");

    EXPECT_EQ(CSyncController::JoinPath("/show", "act 1/clip.mp4", ""), "/show/act 1/clip.mp4");
    // Without a media folder: only a medium the program plays, and no way up.
    for (const char *pszRest :
         {"../etc/passwd", "act/../../x.mp4", "/etc/passwd", "", "notes.txt", "show.m3u", "clip"})
        EXPECT_EQ(CSyncController::JoinPath("/show", pszRest, ""), QString()) << pszRest;
    EXPECT_EQ(CSyncController::JoinPath("/show/../etc", "clip.mp4", ""), QString());
    EXPECT_EQ(CSyncController::JoinPath("show", "clip.mp4", ""), QString()) << "relative root";

    // With one: below it, also where a link points.
    QTemporaryDir dir;
    const QString strShow = dir.path() + "/show";
    ASSERT_TRUE(QDir().mkpath(strShow + "/act 1"));
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/private"));
    ASSERT_TRUE(QFile::link(dir.path() + "/private", strShow + "/escape"));
    ASSERT_TRUE(QFile::link(strShow + "/act 1", strShow + "/inner"));
    EXPECT_EQ(CSyncController::JoinPath("/show", "act 1/clip.mp4", strShow),
              strShow + "/act 1/clip.mp4");
    EXPECT_EQ(CSyncController::JoinPath("/show", "inner/clip.mp4", strShow),
              strShow + "/inner/clip.mp4")
        << "a link that stays inside";
    for (const char *pszRest : {"../private/clip.mp4", "act 1/../../private/clip.mp4",
                                "/private/clip.mp4", "escape/clip.mp4", "escape"})
        EXPECT_EQ(CSyncController::JoinPath("/show", pszRest, strShow), QString()) << pszRest;
}

} // namespace
