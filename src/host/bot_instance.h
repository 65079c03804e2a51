// BotInstance: the whole state of the module for one bot of the host, and
// the operations on it. The operations are defined in the folders of their
// subsystems (host/, monitor/, commands/, settings/); this header is the
// contract of all of them.
//
// Everything runs on the host's thread inside `talk`. Nothing here throws;
// a step that cannot get memory is dropped and leaves every list consistent.
//
// Host records. The watch table keeps the PlayerRecord pointers of the
// watched players across events: an entry goes with the player's PlayerLeft
// (every entry of that record), and the whole table goes with a RosterReset,
// which therefore drops the entries of players who left the roster without a
// PlayerLeft. Nothing else of the host is kept but `callback` and `roster`;
// a CommandRecord and the event itself are read during their event only.
// Outgoing texts are valid only while the callback runs.
//
// A refused handshake freezes the instance: it keeps its watch table and
// exemption list until unload but never reads them again (every event is
// dropped), so the host may release the records those entries point to. An
// operation that the refusal interrupted (see below) sends nothing more.
//
// Re-entry. The host should not call `talk` from inside its callback, but
// when it does, the module reads no released memory and no record after the
// event that ends its validity, and sends only well-formed events:
// - The sweep first takes every idle entry out of the table onto
//   `spectating`, in table order, and then messages the players one by one.
//   The entries still waiting go with their player's PlayerLeft, and all of
//   them with a RosterReset, "afkstatus off" or a refused Connect: those
//   players are not spectated by this sweep.
// - The exemption listing sends a copy of the names taken before its first
//   message; the help listing picks its topic line before it sends.
// - An operation that sends several messages addresses an Addressee: the
//   ident is read once, before the first call out, and nothing more is sent
//   after the player's PlayerLeft, a RosterReset that leaves the player off
//   the roster, or a refused Connect came in meanwhile.
// - A re-entered Tick that comes to a sweep while one is sending adds its
//   idle players to the one under way, which sends them in turn.
// - Every other reply is one message, sent last: nothing is read after it.
// What the nested event changes stays changed (a name deleted during a
// listing is gone, though the listing still shows it).
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

struct Addressee;

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

    // Only while an operation is sending (re-entry, above): the idle entries
    // that the sweep under way has still to message, whether it is sending,
    // and the innermost player addressed across call-outs.
    WatchTable spectating;
    bool sweeping = false;
    Addressee* addressees = nullptr;

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
    // One private chat message to `player`. The ident is read before the
    // host is called; the record is not read again.
    void sendPrivate(const PlayerRecord* player, const char* text);
    // One private chat message to `to`, unless the player has gone since
    // `to` was made.
    void sendPrivate(const Addressee& to, const char* text);
    // Sets `disabled` and ends whatever the refusal interrupted: pending
    // sweep messages are dropped, addressees are gone.
    void refuse();

    // ---- watch table (monitor/watch_table.cpp) ----

    // Departures seen while an operation is sending (re-entry, above):
    // `forgetDeparted` ends the pending sweep messages and the addressees of
    // `player`; `forgetOffRoster` drops every pending sweep message and ends
    // each addressee who is not on the roster. Both do nothing otherwise.
    void forgetDeparted(const PlayerRecord* player);
    void forgetOffRoster();

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

    // Counts the tick down while checking is on; sweeps whenever the counter
    // lands on a multiple of 60: on the 16th counted tick first (the counter
    // starts at 0 and wraps to 65535), then every 60th, with one gap of 16
    // in each 65536 counted ticks. No sweep while the table is empty or no
    // time limit is set.
    void onTick();
    // Spectates and drops every entry idle for at least `afkTime` minutes:
    // two "*spec" and the explanation to each, in table order.
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

// A player whom one operation addresses in several messages. Made before
// the operation's first call out, it reads the ident once and links itself
// into the instance until it goes out of scope; `player` becomes null when
// the player departs meanwhile (a re-entered event, see above). Made and
// destroyed in strict nesting, on the stack.
struct Addressee {
    BotInstance* bot;
    const PlayerRecord* player;  // null once the player has gone
    uint16_t ident;
    Addressee* outer;  // the addressee of the operation this one interrupted

    Addressee(BotInstance& owner, const PlayerRecord* to);
    ~Addressee();
    Addressee(const Addressee&) = delete;
    Addressee& operator=(const Addressee&) = delete;
};

}  // namespace idlewarden
