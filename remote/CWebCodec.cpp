#include "remote/CWebCodec.h"

#include "remote/CCommandDescriptor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

QJsonArray Rows(const std::vector<CShowState::Row> &rows) {
    QJsonArray array;
    for (const CShowState::Row &row : rows)
        array.append(QJsonObject{{"name", row.strName}, {"length", row.strLength}});
    return array;
}

QJsonObject SyncObject(const CShowState::Sync &sync) {
    QJsonObject object{{"role", sync.strRole}, {"health", sync.strHealth}};
    if (sync.strRole == QLatin1String("follower")) {
        object.insert("offsetMs", sync.dOffsetMs);
        object.insert("lostSince",
                      sync.strLostSince.isEmpty() ? QJsonValue() : QJsonValue(sync.strLostSince));
    }
    if (sync.strRole == QLatin1String("leader")) {
        QJsonArray followers;
        for (const CShowState::Follower &follower : sync.followers) {
            QJsonObject entry{{"address", follower.strAddress},
                              {"health", follower.strHealth},
                              {"offsetMs", follower.dOffsetMs}};
            if (!follower.strSince.isEmpty())
                entry.insert("lostSince", follower.strSince);
            followers.append(entry);
        }
        object.insert("followers", followers);
    }
    return object;
}

QByteArray Finish(QJsonObject &message) {
    if (message.isEmpty())
        return {};
    message.insert("type", "state");
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

// A whole number in [nMin, nMax], as JSON numbers are doubles.
std::optional<int32_t> Whole(const QJsonValue &value, int32_t nMin, int32_t nMax) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < nMin || d > nMax)
        return std::nullopt;
    return static_cast<int32_t>(d);
}

} // namespace

QByteArray CWebCodec::Collect(const CShowState &state, bool bTick) {
    using Player = CShowState::Player;
    QJsonObject message;
    for (int i = 0; i < 2; ++i) {
        const Player &now = state.players[i];
        QJsonObject player;
        if (m_told.Changed(state, i, &Player::nState))
            player.insert("state", now.nState);
        if (m_told.Changed(state, i, &Player::strName))
            player.insert("name", now.strName);
        if (m_told.Changed(state, i, &Player::nDuration))
            player.insert("duration", now.nDuration);
        if (m_told.PositionDue(state, i, bTick)) {
            player.insert("position", now.nPosition);
            player.insert("remaining", now.Remaining());
        }
        if (!player.isEmpty())
            message.insert(i == 0 ? "a" : "b", player);
    }
    if (m_told.Changed(state, &CShowState::nActive))
        message.insert("active", state.nActive == 1 ? "B" : "A");
    if (m_told.Changed(state, &CShowState::nLevel))
        message.insert("volume", state.nLevel);
    if (m_told.Changed(state, &CShowState::bMuted))
        message.insert("muted", state.bMuted);
    if (m_told.Changed(state, &CShowState::bFullScreen))
        message.insert("fullscreen", state.bFullScreen);
    if (m_told.Changed(state, &CShowState::bRepeatSingle))
        message.insert("repeatSingle", state.bRepeatSingle);
    if (m_told.Changed(state, &CShowState::bAutoNext))
        message.insert("autoNext", state.bAutoNext);
    if (m_told.Changed(state, &CShowState::bLoopList))
        message.insert("loopList", state.bLoopList);
    if (m_told.Changed(state, &CShowState::playlist))
        message.insert("playlist", Rows(state.playlist));
    if (m_told.Changed(state, &CShowState::nMarkedRow))
        message.insert("marked", state.nMarkedRow);
    if (m_told.Changed(state, &CShowState::sync))
        message.insert("sync", SyncObject(state.sync));
    if (m_told.Changed(state, &CShowState::transition))
        message.insert("transition", QJsonObject{{"kind", state.transition.strKind},
                                                 {"duration", state.transition.nDurationMs},
                                                 {"progress", state.transition.nProgress}});
    // The timecode's label runs on with every frame: it goes on the tick, its state at once.
    const CShowState::Timecode &timecode = state.timecode;
    const CShowState::Timecode &toldTimecode = m_told.Last().timecode;
    if (!m_told.IsKnown() || timecode.strSource != toldTimecode.strSource ||
        timecode.strState != toldTimecode.strState || (bTick && timecode != toldTimecode))
        message.insert("timecode", QJsonObject{{"source", timecode.strSource},
                                               {"timecode", timecode.strTimecode},
                                               {"state", timecode.strState},
                                               {"error", timecode.nErrorFrames}});
    m_told.Told(state);
    return Finish(message);
}

QByteArray CWebCodec::All(const CShowState &state) {
    CWebCodec fresh;
    return fresh.Collect(state, false);
}

QByteArray CWebCodec::Text(int nPlayer, const QString &strText) {
    const QJsonObject message{
        {"type", "text"}, {"player", nPlayer == 1 ? "B" : "A"}, {"text", strText}};
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

std::optional<CCommand> CWebCodec::ParseCommand(const QByteArray &message, int nActive,
                                                QString &strError) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
    if (!document.isObject()) {
        strError =
            parseError.error != QJsonParseError::NoError ? "malformed JSON" : "not a JSON object";
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QString strAction = object.value("action").toString();
    const CCommandDescriptor *pRow =
        CCommandDescriptor::ForName(strAction.toUtf8().constData(), CCommandDescriptor::WEB);
    if (!pRow) {
        strError = QString("unknown action \"%1\"").arg(strAction.left(40));
        return std::nullopt;
    }
    using Value = CCommandDescriptor::Value;
    CCommandDescriptor::Args args;
    const QString strPlayer = object.value("player").toString();
    const bool bPlayerOk = strPlayer == "A" || strPlayer == "B";
    args.nPlayer = strPlayer == "B" ? 1 : 0;
    std::optional<int32_t> value = 0;
    bool bRow = true;
    switch (pRow->value) {
    case Value::None:
        break;
    case Value::Media:
        // A row of the playlist only: the page never names a file.
        value = Whole(object.value("row"), 1, std::numeric_limits<int32_t>::max());
        bRow = value.has_value();
        if (value)
            args.source = CCommand::Row{*value};
        value = 0;
        break;
    case Value::Position:
        value = Whole(object.value("position"), 0, std::numeric_limits<int32_t>::max());
        break;
    case Value::Percent:
        value = Whole(object.value("value"), 0, 100);
        // The volume is common to both players; the active one names it.
        args.nPlayer = nActive;
        break;
    case Value::Kind:
        // Without "duration" the length set stays.
        value = object.contains("duration")
                    ? Whole(object.value("duration"), 0, CTransition::MAX_DURATION_MS)
                    : -1;
        if (!CTransition::KindOf(object.value("kind").toString(), args.kind))
            value = std::nullopt;
        break;
    case Value::Switch:
        // Without "on" the switch flips.
        value = object.contains("on") ? (object.value("on").isBool()
                                             ? std::optional<int32_t>(object.value("on").toBool())
                                             : std::nullopt)
                                      : -1;
        break;
    }
    if ((pRow->bPerPlayer && !bPlayerOk) || !value || !bRow) {
        strError = QString("bad arguments for \"%1\"").arg(strAction);
        return std::nullopt;
    }
    args.nValue = *value;
    return pRow->Make(args, CCommand::Origin::Web);
}
