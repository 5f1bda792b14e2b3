#include "remote/CWebCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

const char *const kRoot = "/tessaro/";

// One feedback value of the OSC form into the message: "/tessaro/b/state" becomes b.state,
// "/tessaro/active" becomes active.
void Put(QJsonObject &message, const COscFeedback::Value &value) {
    const QString strPath = QString::fromLatin1(value.path.mid(int(qstrlen(kRoot))));
    const QJsonValue json =
        value.bString ? QJsonValue(QString::fromUtf8(value.strValue)) : QJsonValue(value.nValue);
    const int nSlash = strPath.indexOf('/');
    if (nSlash < 0) {
        message.insert(strPath, json);
        return;
    }
    const QString strPlayer = strPath.left(nSlash);
    QJsonObject player = message.value(strPlayer).toObject();
    player.insert(strPath.mid(nSlash + 1), json);
    message.insert(strPlayer, player);
}

QJsonArray Rows(const std::vector<CWebStatus::Row> &rows) {
    QJsonArray array;
    for (const CWebStatus::Row &row : rows)
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

QByteArray CWebCodec::Collect(const CWebStatus &status, bool bTick) {
    QJsonObject message;
    for (const COscFeedback::Value &value : m_players.Collect(status.players, bTick))
        Put(message, value);
    const auto changed = [this](auto CWebStatus::*pField, const CWebStatus &now) {
        return !m_bKnown || now.*pField != m_last.*pField;
    };
    if (changed(&CWebStatus::bMuted, status))
        message.insert("muted", status.bMuted);
    if (changed(&CWebStatus::bFullscreen, status))
        message.insert("fullscreen", status.bFullscreen);
    if (changed(&CWebStatus::bRepeatSingle, status))
        message.insert("repeatSingle", status.bRepeatSingle);
    if (changed(&CWebStatus::bAutoNext, status))
        message.insert("autoNext", status.bAutoNext);
    if (changed(&CWebStatus::bLoopList, status))
        message.insert("loopList", status.bLoopList);
    if (changed(&CWebStatus::playlist, status))
        message.insert("playlist", Rows(status.playlist));
    if (changed(&CWebStatus::nMarkedRow, status))
        message.insert("marked", status.nMarkedRow);
    m_last = status;
    m_bKnown = true;
    return Finish(message);
}

QByteArray CWebCodec::All(const CWebStatus &status) {
    CWebCodec fresh;
    return fresh.Collect(status, false);
}

QByteArray CWebCodec::Text(const QString &strLine) {
    const std::optional<COscFeedback::Value> value = COscFeedback::TextValue(strLine);
    if (!value)
        return {};
    const QString strPlayer = value->path.startsWith("/tessaro/b/") ? "B" : "A";
    const QJsonObject message{
        {"type", "text"}, {"player", strPlayer}, {"text", QString::fromUtf8(value->strValue)}};
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
