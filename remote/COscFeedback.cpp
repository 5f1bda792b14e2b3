#include "remote/COscFeedback.h"

#include <cmath>

namespace {

const char *const kPlayerPrefixes[2] = {"/tessaro/a/", "/tessaro/b/"};

COscFeedback::Value Int(const QByteArray &path, int nValue) {
    return {path, false, nValue, {}};
}

COscFeedback::Value String(const QByteArray &path, const QString &strValue) {
    return {path, true, 0, strValue.toUtf8()};
}

QByteArray PlayerPath(int nPlayer, const char *pszName) {
    return QByteArray(kPlayerPrefixes[nPlayer & 1]) + pszName;
}

} // namespace

std::vector<COscFeedback::Value> COscFeedback::Collect(const CShowState &state, bool bTick) {
    using Player = CShowState::Player;
    std::vector<Value> values;
    for (int i = 0; i < 2; ++i) {
        const Player &now = state.players[i];
        if (m_told.Changed(state, i, &Player::nState))
            values.push_back(Int(PlayerPath(i, "state"), now.nState));
        if (m_told.Changed(state, i, &Player::strName))
            values.push_back(String(PlayerPath(i, "name"), now.strName));
        if (m_told.Changed(state, i, &Player::nDuration))
            values.push_back(Int(PlayerPath(i, "duration"), now.nDuration));
        if (m_told.PositionDue(state, i, bTick)) {
            values.push_back(Int(PlayerPath(i, "position"), now.nPosition));
            values.push_back(Int(PlayerPath(i, "remaining"), now.Remaining()));
        }
    }
    if (m_told.Changed(state, &CShowState::nActive))
        values.push_back(String("/tessaro/active", state.nActive == 1 ? "B" : "A"));
    if (m_told.Changed(state, &CShowState::nVolume))
        values.push_back(Int("/tessaro/volume", state.nVolume));
    if (m_told.Changed(state, &CShowState::bRepeatSingle))
        values.push_back(Int("/tessaro/repeat", state.bRepeatSingle));
    if (m_told.Changed(state, &CShowState::bAutoNext))
        values.push_back(Int("/tessaro/autonext", state.bAutoNext));
    if (m_told.Changed(state, &CShowState::bLoopList))
        values.push_back(Int("/tessaro/loop", state.bLoopList));
    // The offset moves a little with every measurement: sent on the tick, to a tenth of a ms.
    const CShowState::Sync &sync = state.sync;
    const CShowState::Sync &told = m_told.Last().sync;
    const auto tenths = [](double dMs) { return std::lround(dMs * 10.0); };
    // A machine without sync says so once, so a client asking for the sync state hears "off".
    if (!m_told.IsKnown() || sync.strRole != told.strRole || sync.nFollowers != told.nFollowers ||
        sync.strHealth != told.strHealth || sync.strLostSince != told.strLostSince ||
        (bTick && tenths(sync.dOffsetMs) != tenths(told.dOffsetMs))) {
        Value value{"/tessaro/sync", false, sync.nFollowers, sync.strRole.toUtf8()};
        value.bSync = true;
        value.fValue = float(sync.dOffsetMs);
        value.strHealth = sync.strHealth.toUtf8();
        value.strSince = sync.strLostSince.toUtf8();
        values.push_back(value);
    }
    if (m_told.Changed(state, &CShowState::transition)) {
        const CShowState::Transition &transition = state.transition;
        Value value{"/tessaro/transition", false, transition.nProgress,
                    transition.strKind.toUtf8()};
        value.bTransition = true;
        value.nDurationMs = transition.nDurationMs;
        values.push_back(value);
    }
    // The label runs on with every frame: it goes on the tick, the state at once.
    const CShowState::Timecode &timecode = state.timecode;
    const CShowState::Timecode &toldTimecode = m_told.Last().timecode;
    if (timecode.strSource != QLatin1String("off") &&
        (!m_told.IsKnown() || timecode.strSource != toldTimecode.strSource ||
         timecode.strState != toldTimecode.strState || (bTick && timecode != toldTimecode))) {
        Value value{"/tessaro/timecode", false, timecode.nErrorFrames, timecode.strSource.toUtf8()};
        value.bTimecode = true;
        value.strLabel = timecode.strTimecode.toUtf8();
        value.strState = timecode.strState.toUtf8();
        values.push_back(value);
    }
    m_told.Told(state);
    return values;
}

std::vector<COscFeedback::Value> COscFeedback::All(const CShowState &state) {
    COscFeedback fresh;
    return fresh.Collect(state, false);
}

COscFeedback::Value COscFeedback::TextValue(int nPlayer, const QString &strText) {
    return String(PlayerPath(nPlayer, "text"), strText);
}
