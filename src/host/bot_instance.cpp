#include "host/bot_instance.h"

namespace idlewarden {

namespace {
const char* const LogOutOfDate = "DLL plugin cannot connect.  This plugin is out of date.";
const char* const LogHostTooOld = "DLL plugin cannot connect.  This plugin requires the latest version of Quorvane.";
const char* const LogConnected = "DLL plugin connected.";
const char* const LogDisconnected = "DLL plugin disconnected.";

PlayerRecord* playerIn(uintptr_t word) { return reinterpret_cast<PlayerRecord*>(word); }
}  // namespace

BotInstance::~BotInstance() {
    exemptList.clear();
    watchTable.clear();
}

void BotInstance::dispatch(const BotEvent& event) {
    if (disabled) return;
    if (event.code > HighestCode) return;
    switch (event.code) {
        case Connect: onConnect(event); break;
        case Disconnect: onDisconnect(); break;
        case Tick: onTick(); break;
        case RosterReset: onRosterReset(); break;
        case PlayerArrived: onPlayerArrived(playerIn(event.p[0])); break;
        case ShipChanged: onShipChanged(playerIn(event.p[0]), static_cast<uint16_t>(event.p[1] & 0xFFFFu)); break;
        case PlayerSpectated: onPlayerSpectated(playerIn(event.p[0])); break;
        case PlayerLeft: onPlayerLeft(playerIn(event.p[0])); break;
        case CommandIssued:
            handleCommand(playerIn(event.p[0]), reinterpret_cast<const CommandRecord*>(event.p[1]));
            break;
        case HelpRequested: handleHelp(playerIn(event.p[0]), reinterpret_cast<const CommandRecord*>(event.p[1])); break;
        case WeaponFired: onWeaponFired(playerIn(event.p[0])); break;
        default: break;
    }
}

void BotInstance::onConnect(const BotEvent& event) {
    // Stored before the version test, so that a refusal reaches the new log.
    callback = reinterpret_cast<HostCallback>(event.p[1]);
    roster = reinterpret_cast<HostPlayerList*>(event.p[2]);
    const uint32_t version = static_cast<uint32_t>(event.p[0] & 0xFFFFFFFFu);
    const uint16_t major = static_cast<uint16_t>(version >> 16);
    const uint16_t minor = static_cast<uint16_t>(version & 0xFFFFu);
    if (major > RequiredMajor) {
        hostLog(LogOutOfDate);
        refuse();
        return;
    }
    if (major < RequiredMajor || minor < MinimumMinor) {
        hostLog(LogHostTooOld);
        refuse();
        return;
    }
    hostLog(LogConnected);
    loadSettings();
}

void BotInstance::refuse() {
    disabled = true;
    // Nothing is read again; an operation that this refusal interrupted
    // (a re-entered Connect) stops sending.
    spectating.clear();
    for (Addressee* a = addressees; a != nullptr; a = a->outer) a->player = nullptr;
}

void BotInstance::onDisconnect() { hostLog(LogDisconnected); }

void BotInstance::postToHost(BotEvent& event) {
    // `disabled` can be set here only by a Connect re-entered from an
    // earlier call of this operation.
    if (callback == nullptr || handle == 0 || disabled) return;
    event.handle = handle;
    callback(event);
}

void BotInstance::hostLog(const char* text) {
    BotEvent event = makeLogEvent(text);
    postToHost(event);
}

void BotInstance::sendPrivate(const PlayerRecord* player, const char* text) {
    BotEvent event = makeChatEvent(PrivateChat, 0, player->ident, text);
    postToHost(event);
}

void BotInstance::sendPrivate(const Addressee& to, const char* text) {
    if (to.player == nullptr) return;
    BotEvent event = makeChatEvent(PrivateChat, 0, to.ident, text);
    postToHost(event);
}

Addressee::Addressee(BotInstance& owner, const PlayerRecord* to)
    : bot(&owner), player(to), ident(to->ident), outer(owner.addressees) {
    owner.addressees = this;
}

Addressee::~Addressee() { bot->addressees = outer; }

}  // namespace idlewarden
