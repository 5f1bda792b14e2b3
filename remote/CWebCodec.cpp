#include "remote/CWebCodec.h"

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

QByteArray Finish(QJsonObject &message) {
    if (message.isEmpty())
        return {};
    message.insert("type", "state");
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

enum class Argument { None, Player, PlayerRow, PlayerPosition, Percent, Switch };

struct CommandEntry {
    const char *pszName;
    CCommand::Action action;
    Argument argument;
};

const CommandEntry kCommands[] = {
    {"play", CCommand::Action::Play, Argument::Player},
    {"pause", CCommand::Action::Pause, Argument::Player},
    {"stop", CCommand::Action::Stop, Argument::Player},
    {"select", CCommand::Action::Select, Argument::Player},
    {"open", CCommand::Action::Open, Argument::PlayerRow},
    {"seek", CCommand::Action::Seek, Argument::PlayerPosition},
    {"volume", CCommand::Action::Volume, Argument::Percent},
    {"mute", CCommand::Action::Mute, Argument::Switch},
    {"next", CCommand::Action::Next, Argument::None},
    {"previous", CCommand::Action::Previous, Argument::None},
    {"fullscreen", CCommand::Action::Fullscreen, Argument::Switch},
    {"repeatSingle", CCommand::Action::RepeatSingle, Argument::Switch},
    {"autoNext", CCommand::Action::AutoNext, Argument::Switch},
    {"loopList", CCommand::Action::LoopList, Argument::Switch},
};

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
    const CommandEntry *pEntry = nullptr;
    for (const CommandEntry &entry : kCommands)
        if (strAction == QLatin1String(entry.pszName))
            pEntry = &entry;
    if (!pEntry) {
        strError = QString("unknown action \"%1\"").arg(strAction.left(40));
        return std::nullopt;
    }
    CCommand cmd;
    cmd.action = pEntry->action;
    cmd.origin = CCommand::Origin::Web;
    const QString strPlayer = object.value("player").toString();
    const bool bPlayerOk = strPlayer == "A" || strPlayer == "B";
    cmd.nPlayer = strPlayer == "B" ? 1 : 0;
    std::optional<int32_t> value = 0;
    switch (pEntry->argument) {
    case Argument::None:
        break;
    case Argument::Player:
        break;
    case Argument::PlayerRow:
        value = Whole(object.value("row"), 1, std::numeric_limits<int32_t>::max());
        if (value)
            cmd.strText = ":" + QString::number(*value);
        break;
    case Argument::PlayerPosition:
        value = Whole(object.value("position"), 0, std::numeric_limits<int32_t>::max());
        break;
    case Argument::Percent:
        value = Whole(object.value("value"), 0, 100);
        cmd.nPlayer = nActive;
        break;
    case Argument::Switch:
        // Without "on" the switch flips.
        value = object.contains("on") ? (object.value("on").isBool()
                                             ? std::optional<int32_t>(object.value("on").toBool())
                                             : std::nullopt)
                                      : CCommand::TOGGLE;
        break;
    }
    const bool bNeedsPlayer = pEntry->argument == Argument::Player ||
                              pEntry->argument == Argument::PlayerRow ||
                              pEntry->argument == Argument::PlayerPosition;
    if ((bNeedsPlayer && !bPlayerOk) || !value) {
        strError = QString("bad arguments for \"%1\"").arg(strAction);
        return std::nullopt;
    }
    cmd.nValue = pEntry->argument == Argument::PlayerRow ? 0 : *value;
    return cmd;
}
