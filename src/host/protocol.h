// The records and codes shared with the host, fixed to the byte.
//
// Every word that may carry a pointer is uintptr_t wide: 4 bytes on a 32-bit
// target, 8 on a 64-bit one. Fields that never carry a pointer keep their
// offsets on every target. Never reorder or resize anything here: hosts
// compiled against these layouts depend on them.
//
// What the module relies on the host for:
// - `talk` is called from one thread at a time, and not from inside the
//   callback (see below for what happens when it is).
// - Connect comes first; its callback and roster stay valid while the host
//   sends events under that handle, until the next Connect replaces them.
// - A PlayerRecord passed in an event stays valid, at the same address,
//   until the host has sent PlayerLeft for that player, or a RosterReset
//   after the player left the roster. The module keeps such pointers (the
//   watch table) until exactly those events and reads them only until then.
// - The player word of codes 10, 15, 16, 18 and 36 is never null; texts in
//   host records are NUL-terminated and unchanged during the call. An
//   incoming event and its CommandRecord are read during the call only.
// What the module guarantees in turn:
// - Outgoing events are built on the module's stack and their texts are
//   valid only while the callback runs: the host copies what it keeps.
// - Re-entry: a host that calls `talk` from inside the callback (for
//   instance to report at once that a player has been spectated, or has
//   left) gets no read of released memory and no read of a record after its
//   PlayerLeft or RosterReset; an operation under way sends nothing more to
//   a player who departed meanwhile. What the nested event changes takes
//   effect at once (bot_instance.h says how each operation copes).
#pragma once

#include <cstddef>
#include <cstdint>

// The record of one event, used in both directions.
struct BotEvent {
    uintptr_t handle;  // the host's bot identifier; compared and echoed only
    uint32_t code;     // an EventCode (incoming and outgoing sets differ)
    uintptr_t p[6];    // parameter words: numbers or pointers, by code
};

// The calling convention of `talk` and of the host's callback: the target's
// C one, in which the caller pops the argument (cdecl on 32-bit x86).
// Written out on 32-bit Windows, where a compiler's default may be another;
// elsewhere the default is this one and is left unwritten.
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define IDLEWARDEN_CDECL __cdecl
#else
#define IDLEWARDEN_CDECL
#endif

// The host's function that takes the module's answers. Same form as `talk`:
// extern "C" void IDLEWARDEN_CDECL talk(BotEvent& event). The event and the
// texts it points to live only until it returns.
using HostCallback = void(IDLEWARDEN_CDECL*)(BotEvent&);

// Codes of events that the host sends to the module.
enum EventCode : uint32_t {
    Connect = 0,  // p[0] version word, p[1] HostCallback, p[2] HostPlayerList*
    Disconnect = 1,
    Tick = 2,
    RosterReset = 3,
    PlayerArrived = 10,    // p[0] PlayerRecord*
    ShipChanged = 15,      // p[0] PlayerRecord*, p[1] old ship (low 16 bits)
    PlayerSpectated = 16,  // p[0] PlayerRecord*
    PlayerLeft = 18,       // p[0] PlayerRecord*
    CommandIssued = 20,    // p[0] PlayerRecord*, p[1] CommandRecord*
    HelpRequested = 21,    // p[0] PlayerRecord*, p[1] CommandRecord* (params = topic)
    WeaponFired = 36,      // p[0] PlayerRecord*
    HighestCode = 40,      // every code above this is dropped unread
};

// Codes of events that the module sends to the host.
enum OutgoingCode : uint32_t {
    HostLog = 0,   // p[0] NUL-terminated log text
    SendChat = 1,  // p[0] chat mode, p[1] 0, p[2] target ident, p[3] text
};

// Chat mode of SendChat: a message to the one player named in p[2].
constexpr uintptr_t PrivateChat = 5;

// The ship number that means "spectating".
constexpr uint8_t SpectatorShip = 8;

// The host's record of one player. Read in place, never written. Only the
// named fields are the module's business; the rest belongs to the host.
// Kept by pointer until the player's PlayerLeft or the next RosterReset.
struct PlayerRecord {
    uint16_t ident;  // target of private messages
    uint8_t hostOwned0[2];
    int32_t access;  // AccessLevel: signed
    uint8_t hostOwned1[13];
    char name[136];  // NUL-terminated
    uint8_t ship;    // SpectatorShip while spectating
};

// The host's record of one typed command.
struct CommandRecord {
    uint8_t hostOwned[16];
    const char* name;    // command word without the "!"
    const char* params;  // text after the word; "" (never null) when none
};

struct HostPlayerNode {
    PlayerRecord* item;
    HostPlayerNode* next;  // null at the end
};

// The host's roster of the players present.
struct HostPlayerList {
    HostPlayerNode* first;  // null when nobody is present
};

// Outgoing event constructors. Neither sets `handle`: it is written when the
// event is posted, so an event never posted is never seen by the host.
BotEvent makeLogEvent(const char* text);
BotEvent makeChatEvent(uintptr_t mode, uintptr_t p1, uintptr_t target, const char* text);

// ---- layout checks, for 4- and 8-byte pointers alike ----
constexpr size_t WordSize = sizeof(uintptr_t);
static_assert(WordSize == 4 || WordSize == 8, "only 32- and 64-bit targets");
static_assert(offsetof(BotEvent, handle) == 0);
static_assert(offsetof(BotEvent, code) == WordSize);
static_assert(offsetof(BotEvent, p) == 2 * WordSize);
static_assert(sizeof(BotEvent) == 8 * WordSize);  // 32 or 64 bytes
static_assert(offsetof(PlayerRecord, ident) == 0);
static_assert(offsetof(PlayerRecord, access) == 4);
static_assert(offsetof(PlayerRecord, name) == 21);
static_assert(offsetof(PlayerRecord, ship) == 157);
static_assert(sizeof(PlayerRecord) >= 158);
static_assert(offsetof(CommandRecord, name) == 16);
static_assert(offsetof(CommandRecord, params) == 16 + WordSize);
static_assert(offsetof(HostPlayerList, first) == 0);
static_assert(offsetof(HostPlayerNode, item) == 0);
static_assert(offsetof(HostPlayerNode, next) == WordSize);
