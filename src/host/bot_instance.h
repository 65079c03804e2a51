// BotInstance: the whole state of the module for one bot of the host, and
// the operations on it. The operations are defined in the folders of their
// subsystems (host/, monitor/, commands/, settings/); this header is the
// contract of all of them.
//
// Everything runs on the host's thread inside `talk`. Nothing here throws;
// a step that cannot get memory is dropped and leaves every list consistent.
#pragma once

#include <cstdint>

#include "host/protocol.h"
#include "monitor/exempt_name.h"
#include "monitor/watch_entry.h"

namespace idlewarden {

// Host interface versions accepted: major 6, minor 6 and above.
constexpr uint16_t RequiredMajor = 6;
constexpr uint16_t MinimumMinor = 6;

// Access bands of the operator commands.
constexpr int32_t BotModLevel = 2;    // 2, 3: "afkstatus"
constexpr int32_t BotSysopLevel = 4;  // 4..12: everything
constexpr int32_t HighestLevel = 12;  // above: nothing

struct BotInstance {
    bool disabled = false;             // set by a refused handshake, for good
    uintptr_t handle;                  // registry key; stamped on every answer
    HostCallback callback = nullptr;   // from Connect
    HostPlayerList* roster = nullptr;  // from Connect
    uint16_t tickCounter = 0;          // counts down while checking is on
    bool enabled = false;              // idle checking is switched on
    WatchTable watchTable;             // empty whenever `enabled` is false
    uint16_t afkTime = 0;              // limit in minutes; 0 = not set
    ExemptList exemptList;

    explicit BotInstance(uintptr_t hostHandle) : handle(hostHandle) {}
    ~BotInstance();
    BotInstance(const BotInstance&) = delete;
    BotInstance& operator=(const BotInstance&) = delete;

    // ---- host interface (host/bot_instance.cpp) ----

    // Drops everything while `disabled`, and every code above 40; routes the
    // rest to its handler. Codes without a handler do nothing.
    void dispatch(const BotEvent& event);
    // Stores callback and roster, tests the version, logs the outcome; on
    // acceptance loads the settings, on refusal sets `disabled`.
    void onConnect(const BotEvent& event);
    // Logs "DLL plugin disconnected."; nothing else changes.
    void onDisconnect();
    // Stamps `handle` on the event and calls the host, unless there is no
    // callback or the handle is 0 (then the event is discarded).
    void postToHost(BotEvent& event);
    void hostLog(const char* text);
    // One private chat message to `player`.
    void sendPrivate(const PlayerRecord* player, const char* text);

    // ---- watch table (monitor/watch_table.cpp) ----

    // Appends an entry stamped now, unless the player's name is exempt.
    // Tests nothing else. False only when memory was short.
    bool watch(PlayerRecord* player);
    // Removes the first entry of `player`, if any.
    void unwatch(const PlayerRecord* player);
    // Removes every entry of `player`.
    void unwatchAll(const PlayerRecord* player);
    // Removes every entry whose player's name equals `name` ignoring case.
    void unwatchByName(const char* name);
    // The first entry of `player`, or null.
    WatchEntry* findEntry(const PlayerRecord* player);
    // Watches every roster player who is not spectating, in roster order.
    void rescanRoster();

    void onRosterReset();
    void onPlayerArrived(PlayerRecord* player);
    void onShipChanged(PlayerRecord* player, uint16_t oldShip);
    void onPlayerSpectated(const PlayerRecord* player);
    void onPlayerLeft(const PlayerRecord* player);
    void onWeaponFired(const PlayerRecord* player);

    // ---- idle sweep (monitor/idle_sweep.cpp) ----

    // Counts the tick while checking is on; every 60th counted tick sweeps.
    void onTick();
    // Spectates and drops every entry idle for at least `afkTime` minutes.
    void sweep();

    // ---- exemption list (monitor/exempt_list.cpp) ----

    bool isExempt(const char* name) const;
    // Each answers `issuer` privately; `parameter` is the command's text.
    void addExempt(const PlayerRecord* issuer, const char* parameter);
    void removeExempt(const PlayerRecord* issuer, const char* parameter);
    void listExempt(const PlayerRecord* issuer);

    // ---- operator commands (commands/) ----

    // Runs at most one command within the issuer's band; silent otherwise.
    void handleCommand(const PlayerRecord* player, const CommandRecord* command);
    // Sends the help lines for the player's level and topic.
    void handleHelp(const PlayerRecord* player, const CommandRecord* command);

    // ---- settings file (settings/settings.cpp) ----

    // Adds what the settings file holds to this instance; sends nothing.
    void loadSettings();
    // Writes the settings file and tells `issuer` whether it worked.
    void saveSettings(const PlayerRecord* issuer);
};

}  // namespace idlewarden
