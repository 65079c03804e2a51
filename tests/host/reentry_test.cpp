// A host that calls `talk` again from inside its callback. The module must
// read no released memory and no record after the event that ends its
// validity, whatever the re-entered event is; built with AddressSanitizer,
// any such read fails the test. Player records are heap objects that the
// host releases right after the nested PlayerLeft (or RosterReset) returns,
// as a host that frees them at once would.
//
// Each case sets a scene up, names the message at which the host re-enters
// (the first whose transcript line starts with `trigger`) and what it sends
// then, and lists every line the host receives while the scene's last event
// is handled, the nested answers in their place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_host.h"
#include "hostkit/outgoing.h"
#include "hostkit/virtual_clock.h"
#include "scratch_dir.h"

namespace {

using Lines = std::vector<std::string>;
using test::event;
using test::word;

constexpr uintptr_t Handle = 1;
constexpr uint64_t Minute = 60'000;

struct ReentryTest;
using Action = void (*)(ReentryTest&);

enum class Scene {
    Sweep,    // A, B, C idle and D not: one sweep
    Listing,  // the operator lists three exempt names
    Help,     // the operator asks for the overview
    Reply,    // the operator's one command
};

struct Case {
    const char* name;
    Scene scene;
    const char* trigger;
    Action action;
    Lines expected;
    const char* command = "";  // Reply: the command and its parameter
    const char* parameter = "";
};

struct ReentryTest : ::testing::TestWithParam<Case> {
    static ReentryTest* active;

    // Players the host owns (heap records, each released when the host says
    // so) and their roster; outlives the module.
    test::Players records;
    test::ScratchDir scratch;
    test::LoadedModule module;
    Lines sent;
    const char* trigger = nullptr;
    Action action = nullptr;
    PlayerRecord* op = nullptr;
    PlayerRecord *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;

    void SetUp() override {
        active = this;
        virtual_clock::enable(1'000'000);
        op = join(1, 4, "Op", SpectatorShip);
        send(test::connectEvent(Handle, test::version(6, 6), &callback, &records.list));
    }
    void TearDown() override {
        virtual_clock::disable();
        active = nullptr;
    }

    static void callback(BotEvent& e) {
        ReentryTest& t = *active;
        const char* text = hostkit::outgoingText(e);
        const std::string line = (e.code == HostLog ? std::string("log") : std::to_string(e.p[2])) + ": " + text;
        t.sent.push_back(line);
        if (t.action != nullptr && line.rfind(t.trigger, 0) == 0) {
            const Action once = t.action;
            t.action = nullptr;
            once(t);
        }
    }

    void send(BotEvent e) { module.send(e); }
    PlayerRecord* join(uint16_t ident, int32_t access, const char* name, uint8_t ship = 1) {
        return records.join(ident, access, name, ship);
    }
    void offRoster(const PlayerRecord* p) { records.leave(p); }
    void release(PlayerRecord* p) { records.release(p); }

    // ---- what the host sends ----
    void command(const char* name, const char* parameter, uint32_t code = CommandIssued) {
        test::Command record(name, parameter);
        send(event(Handle, code, word(op), word(record.get())));
    }
    // Leaves the roster, is reported, and is released at once.
    void leave(PlayerRecord* p) {
        offRoster(p);
        send(event(Handle, PlayerLeft, word(p)));
        release(p);
    }
    // A roster reset after `gone` left the roster; `gone` is released at once.
    void reset(PlayerRecord* gone) {
        if (gone != nullptr) offRoster(gone);
        send(event(Handle, RosterReset));
        if (gone != nullptr) release(gone);
    }
    // A Connect with `version` (refused, in every case here).
    void connect(uint32_t version) { send(test::connectEvent(Handle, version, &callback, nullptr)); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) send(event(Handle, Tick));
    }

    // Sets the scene up to its last event, which runs with the reaction armed.
    void play(const Case& k) {
        if (k.scene == Scene::Sweep) {
            command("afktime", "5");
            command("afkstatus", "on");
            command("addexempt", "Zed");
            a = join(2, 0, "A");
            b = join(3, 0, "B");
            c = join(4, 0, "C");
            for (PlayerRecord* p : {a, b, c}) send(event(Handle, PlayerArrived, word(p)));
            virtual_clock::advance(5 * Minute);
            d = join(5, 0, "D");
            send(event(Handle, PlayerArrived, word(d)));
        } else if (k.scene == Scene::Listing) {
            for (const char* name : {"Xa", "Yb", "Zc"}) command("addexempt", name);
        }
        sent.clear();
        trigger = k.trigger;
        action = k.action;
        switch (k.scene) {
            case Scene::Sweep: ticks(60); break;
            case Scene::Listing: command("listexempt", ""); break;
            case Scene::Help: command("help", "", HelpRequested); break;
            case Scene::Reply: command(k.command, k.parameter); break;
        }
        EXPECT_EQ(action, nullptr) << "the host never re-entered";
    }
};

ReentryTest* ReentryTest::active = nullptr;

Lines spec(int ident) {
    const std::string to = std::to_string(ident) + ": ";
    return {to + "*spec", to + "*spec",
            to + "You have been spectated becuase you have not fired a weapon for the past 5 mins and are believed to "
                 "be away from your keyboard!"};
}

// The two messages of `spec` after the first.
Lines specRest(int ident) {
    Lines all = spec(ident);
    all.erase(all.begin());
    return all;
}

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::string Frame = "1: |-----------------------------|";
const std::string Title = "1: |    Player Exemption List    |";
const std::string LineXa = "1: | Player: Xa                  |";
const std::string LineYb = "1: | Player: Yb                  |";
const std::string LineZc = "1: | Player: Zc                  |";
const Lines FullListing = {Frame, Title, Frame, LineXa, LineYb, LineZc, Frame};

void PrintTo(const Case& k, std::ostream* out) { *out << k.name; }

void leaveOp(ReentryTest& t) { t.leave(t.op); }

const Case Cases[] = {
    // The sweep: the host reacts to the first "*spec" to A.
    {"sweep_player_spectated", Scene::Sweep, "2: *spec",
     [](ReentryTest& t) {
         t.a->ship = SpectatorShip;
         t.send(event(Handle, PlayerSpectated, word(t.a)));
     },
     concat({spec(2), spec(3), spec(4)})},
    {"sweep_current_player_leaves", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.leave(t.a); },
     concat({{"2: *spec"}, spec(3), spec(4)})},
    {"sweep_pending_player_leaves", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.leave(t.b); },
     concat({spec(2), spec(4)})},
    {"sweep_roster_reset_drops_pending", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.reset(t.b); }, spec(2)},
    {"sweep_roster_reset_drops_current", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.reset(t.a); }, {"2: *spec"}},
    {"sweep_checking_off", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.command("afkstatus", "off"); },
     concat({{"2: *spec", "1: AFK Checking Turned OFF Successfully"}, specRest(2)})},
    {"sweep_delexempt", Scene::Sweep, "2: *spec", [](ReentryTest& t) { t.command("delexempt", "Zed"); },
     concat({{"2: *spec", "1: Zed Deleted Successfully!"}, specRest(2), spec(3), spec(4)})},
    // A sweep re-entered by ticks that find D idle too: D comes last.
    {"sweep_inside_sweep", Scene::Sweep, "2: *spec",
     [](ReentryTest& t) {
         virtual_clock::advance(5 * Minute);
         t.ticks(60);
     },
     concat({spec(2), spec(3), spec(4), spec(5)})},
    {"sweep_refused_connect",
     Scene::Sweep,
     "2: *spec",
     [](ReentryTest& t) { t.connect(7u << 16); },
     {"2: *spec", "log: DLL plugin cannot connect.  This plugin is out of date."}},

    // The listing: the host reacts to the line of the first name.
    {"listing_delexempt",
     Scene::Listing,
     LineXa.c_str(),
     [](ReentryTest& t) { t.command("delexempt", "Yb"); },
     {Frame, Title, Frame, LineXa, "1: Yb Deleted Successfully!", LineYb, LineZc, Frame}},
    {"listing_checking_off",
     Scene::Listing,
     LineXa.c_str(),
     [](ReentryTest& t) { t.command("afkstatus", "off"); },
     {Frame, Title, Frame, LineXa, "1: AFK Checking Is Already Disabled", LineYb, LineZc, Frame}},
    {"listing_issuer_leaves",
     Scene::Listing,
     LineXa.c_str(),
     [](ReentryTest& t) { t.leave(t.op); },
     {Frame, Title, Frame, LineXa}},
    {"listing_roster_reset_drops_issuer",
     Scene::Listing,
     LineXa.c_str(),
     [](ReentryTest& t) { t.reset(t.op); },
     {Frame, Title, Frame, LineXa}},
    {"listing_roster_reset_keeps_issuer", Scene::Listing, LineXa.c_str(), [](ReentryTest& t) { t.reset(nullptr); },
     FullListing},
    {"listing_refused_connect",
     Scene::Listing,
     LineXa.c_str(),
     [](ReentryTest& t) { t.connect((6u << 16) | 5); },
     {Frame, Title, Frame, LineXa,
      "log: DLL plugin cannot connect.  This plugin requires the latest version of Quorvane."}},

    {"help_issuer_leaves",
     Scene::Help,
     "1: -----Idlewarden-----",
     [](ReentryTest& t) { t.leave(t.op); },
     {"1: -----Idlewarden-----"}},

    // Single replies: the issuer leaves while the reply is with the host.
    {"reply_about",
     Scene::Reply,
     "1: ",
     leaveOp,
     {"1: Dozeguard v1 by Pellucan(pellucan@idlewarden.example)"},
     "about"},
    {"reply_afktime", Scene::Reply, "1: ", leaveOp, {"1: AFK Time Limit Changed to 7 Mins"}, "afktime", "7"},
    {"reply_afkstatus", Scene::Reply, "1: ", leaveOp, {"1: AFK Checking Status: OFF"}, "afkstatus"},
    {"reply_addexempt", Scene::Reply, "1: ", leaveOp, {"1: Bob Added Successfully!"}, "addexempt", "Bob"},
    {"reply_delexempt",
     Scene::Reply,
     "1: ",
     leaveOp,
     {"1: That player was not found on the AFK exempt list"},
     "delexempt",
     "Bob"},
    {"reply_afksavesetts", Scene::Reply, "1: ", leaveOp, {"1: Idlewarden: Save Complete"}, "afksavesetts"},
};

TEST_P(ReentryTest, SendsOnlyToPlayersStillThere) {
    sent.clear();
    play(GetParam());
    EXPECT_EQ(sent, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReentryTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// After a re-entered sweep the table is whole: the players who stayed and
// were re-watched are swept again later, and nobody else.
TEST_F(ReentryTest, TableStaysUsableAfterReentry) {
    play(Cases[3]);  // the reset during the sweep drops B; A, C and D are watched anew
    sent.clear();
    virtual_clock::advance(5 * Minute);
    ticks(60);
    EXPECT_EQ(sent, concat({spec(2), spec(4), spec(5)}));
}

}  // namespace
