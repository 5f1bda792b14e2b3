// The sync link's datagrams: what a leader sends comes out whole at the follower, and whatever
// does not add up exactly is refused whole.
#include "remote/protocol/CSyncMessage.h"

#include <gtest/gtest.h>

namespace {

CSyncMessage::Message State() {
    CSyncMessage::Message msg;
    msg.nType = CSyncMessage::TYPE_STATE;
    msg.nSession = 0xCAFEF00D;
    msg.nSequence = 7;
    msg.nSentNs = 123456789012345;
    msg.state.nActive = 1;
    msg.state.bFullScreen = true;
    msg.state.nModes = CSyncMessage::MODE_LOOP_LIST | CSyncMessage::MODE_AUTO_NEXT;
    msg.state.nCurTrack = 2;
    msg.state.nTrackCount = 3;
    CSyncMessage::Player &b = msg.state.players[1];
    b.nState = CSyncMessage::PLAYING;
    b.nEpoch = 42;
    b.nPositionNs = 20000000000;
    b.nClockNs = 987654321000;
    b.strRoot = "/show";
    b.strPath = "act 1/clip é.mp4";
    b.strNextRoot = "/show";
    b.strNextPath = "act 2/next.mp4";
    return msg;
}

bool Decodes(const std::vector<unsigned char> &bytes) {
    CSyncMessage::Message msg;
    return CSyncMessage::Decode(bytes.data(), bytes.size(), msg);
}

TEST(SyncMessage, StateAndHeartbeatComeOutAsTheyWentIn) {
    const std::vector<unsigned char> bytes = CSyncMessage::Encode(State());
    CSyncMessage::Message out;
    ASSERT_TRUE(CSyncMessage::Decode(bytes.data(), bytes.size(), out));
    EXPECT_EQ(out.nSession, 0xCAFEF00Du);
    EXPECT_EQ(out.nSentNs, 123456789012345);
    EXPECT_EQ(out.state.nActive, 1);
    EXPECT_TRUE(out.state.bFullScreen);
    EXPECT_EQ(out.state.nModes, 6);
    EXPECT_EQ(out.state.nTrackCount, 3);
    EXPECT_EQ(out.state.players[0].strPath, "");
    const CSyncMessage::Player &b = out.state.players[1];
    EXPECT_EQ(b.nState, CSyncMessage::PLAYING);
    EXPECT_EQ(b.nEpoch, 42u);
    EXPECT_EQ(b.nPositionNs, 20000000000);
    EXPECT_EQ(b.nClockNs, 987654321000);
    EXPECT_EQ(b.strRoot, "/show");
    EXPECT_EQ(b.strPath, "act 1/clip é.mp4");
    EXPECT_EQ(b.strNextPath, "act 2/next.mp4");

    CSyncMessage::Message beat;
    beat.nType = CSyncMessage::TYPE_HEARTBEAT;
    beat.heartbeat = {true, -400000, 0x0123456789ABCDEFull};
    const std::vector<unsigned char> beatBytes = CSyncMessage::Encode(beat);
    ASSERT_TRUE(CSyncMessage::Decode(beatBytes.data(), beatBytes.size(), out));
    EXPECT_EQ(out.nType, CSyncMessage::TYPE_HEARTBEAT);
    EXPECT_TRUE(out.heartbeat.bSynced);
    EXPECT_EQ(out.heartbeat.nOffsetNs, -400000);
    EXPECT_EQ(out.heartbeat.nCookie, 0x0123456789ABCDEFull);

    // A challenge is never longer than the heartbeat it answers: no sender gets more bytes
    // than it sent before it is proven.
    CSyncMessage::Message challenge;
    challenge.nType = CSyncMessage::TYPE_CHALLENGE;
    challenge.nChallenge = 99;
    const std::vector<unsigned char> challengeBytes = CSyncMessage::Encode(challenge);
    EXPECT_LE(challengeBytes.size(), beatBytes.size());
    ASSERT_TRUE(CSyncMessage::Decode(challengeBytes.data(), challengeBytes.size(), out));
    EXPECT_EQ(out.nChallenge, 99u);

    // A keyed message keeps its tag's place after the message.
    beat.bKeyed = true;
    std::vector<unsigned char> keyed = CSyncMessage::Encode(beat);
    EXPECT_FALSE(CSyncMessage::Decode(keyed.data(), keyed.size(), out)) << "no room for a tag";
    keyed.resize(keyed.size() + CSyncMessage::TAG_SIZE);
    ASSERT_TRUE(CSyncMessage::Decode(keyed.data(), keyed.size(), out));
    EXPECT_TRUE(out.bKeyed);
    EXPECT_EQ(out.heartbeat.nCookie, 0x0123456789ABCDEFull);
}

TEST(SyncMessage, WhatDoesNotAddUpIsRefusedWhole) {
    const std::vector<unsigned char> good = CSyncMessage::Encode(State());
    ASSERT_TRUE(Decodes(good));
    auto changed = [&](size_t nAt, unsigned char value) {
        std::vector<unsigned char> bytes = good;
        bytes[nAt] = value;
        return bytes;
    };
    EXPECT_FALSE(Decodes({good.begin(), good.end() - 1})) << "one byte short";
    std::vector<unsigned char> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(Decodes(longer)) << "one byte over";
    EXPECT_FALSE(Decodes(changed(0, 'X'))) << "magic";
    EXPECT_FALSE(Decodes(changed(4, 1))) << "the version before the challenge";
    EXPECT_FALSE(Decodes(changed(4, 3))) << "a version to come";
    EXPECT_FALSE(Decodes(changed(6, 2))) << "an unknown flag";
    EXPECT_FALSE(Decodes(changed(5, 9))) << "type";
    EXPECT_FALSE(Decodes(changed(24, 2))) << "a third player";
    EXPECT_FALSE(Decodes(changed(36 + 30, 3))) << "play state of Player B";
    EXPECT_FALSE(Decodes(changed(good.size() - 3, 0))) << "NUL inside a path";

    CSyncMessage::Message tooLong = State();
    tooLong.state.players[0].strPath.assign(CSyncMessage::MAX_PATH + 1, 'a');
    EXPECT_TRUE(CSyncMessage::Encode(tooLong).empty());
}

} // namespace
