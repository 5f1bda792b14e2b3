#include "remote/COscFeedback.h"

#include <algorithm>
#include <cmath>

namespace {

const char *const kPlayerPrefixes[2] = {"/tessaro/a/", "/tessaro/b/"};
const char *const kTextPrefixes[2] = {"Player A: ", "Player B: "};

COscFeedback::Value Int(const QByteArray &path, int nValue) {
    return {path, false, nValue, {}};
}

COscFeedback::Value String(const QByteArray &path, const QString &strValue) {
    return {path, true, 0, strValue.toUtf8()};
}

int Remaining(const COscFeedback::Player &player) {
    return std::max(0, player.nDuration - player.nPosition);
}

QByteArray PlayerPath(int nPlayer, const char *pszName) {
    return QByteArray(kPlayerPrefixes[nPlayer]) + pszName;
}

} // namespace

std::vector<COscFeedback::Value> COscFeedback::Collect(const Status &status, bool bTick) {
    std::vector<Value> values;
    for (int i = 0; i < 2; ++i) {
        const Player &now = status.players[i];
        const Player &was = m_last.players[i];
        const bool bStateChanged = !m_bKnown || now.nState != was.nState;
        if (bStateChanged)
            values.push_back(Int(PlayerPath(i, "state"), now.nState));
        if (!m_bKnown || now.strName != was.strName)
            values.push_back(String(PlayerPath(i, "name"), now.strName));
        if (!m_bKnown || now.nDuration != was.nDuration)
            values.push_back(Int(PlayerPath(i, "duration"), now.nDuration));
        // A playing position changes all the time: it keeps to the tick, so the rate stays one
        // update per interval; a paused or stopped one is sent as soon as it moves (a seek).
        const bool bPlaying = now.nState == 2;
        const bool bMoved = now.nPosition != was.nPosition || Remaining(now) != Remaining(was);
        if (!m_bKnown || bStateChanged || (bPlaying ? bTick : bMoved)) {
            values.push_back(Int(PlayerPath(i, "position"), now.nPosition));
            values.push_back(Int(PlayerPath(i, "remaining"), Remaining(now)));
        }
    }
    if (!m_bKnown || status.nActive != m_last.nActive)
        values.push_back(String("/tessaro/active", status.nActive == 1 ? "B" : "A"));
    if (!m_bKnown || status.nVolume != m_last.nVolume)
        values.push_back(Int("/tessaro/volume", status.nVolume));
    // The offset moves a little with every measurement: sent on the tick, to a tenth of a ms.
    const auto tenths = [](double dMs) { return std::lround(dMs * 10.0); };
    if (status.strSyncRole != QLatin1String("off") &&
        (!m_bKnown || status.strSyncRole != m_last.strSyncRole ||
         status.nSyncFollowers != m_last.nSyncFollowers ||
         (bTick && tenths(status.dSyncOffsetMs) != tenths(m_last.dSyncOffsetMs)))) {
        Value sync{"/tessaro/sync", false, status.nSyncFollowers, status.strSyncRole.toUtf8()};
        sync.bSync = true;
        sync.fValue = float(status.dSyncOffsetMs);
        values.push_back(sync);
    }
    m_last = status;
    m_bKnown = true;
    return values;
}

std::vector<COscFeedback::Value> COscFeedback::All(const Status &status) {
    COscFeedback fresh;
    return fresh.Collect(status, false);
}

std::optional<COscFeedback::Value> COscFeedback::TextValue(const QString &strLine) {
    for (int i = 0; i < 2; ++i) {
        if (!strLine.startsWith(QLatin1String(kTextPrefixes[i])))
            continue;
        QString strText = strLine.mid(static_cast<int>(qstrlen(kTextPrefixes[i])));
        while (strText.endsWith('\n') || strText.endsWith('\r'))
            strText.chop(1);
        return String(PlayerPath(i, "text"), strText);
    }
    return std::nullopt;
}
