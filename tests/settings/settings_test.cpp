// The settings file: what a load takes from it, what a save writes, and
// that a save never leaves a broken or missing file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <set>

#include <filesystem>
#include <memory>
#include <string>

#include "bot_harness.h"
#include "scratch_dir.h"

using test::Lines;
using test::ScratchDir;

namespace {

namespace fs = std::filesystem;

const char* const FileName = "Idlewarden.ini";
const char* const SaveComplete = "Idlewarden: Save Complete";
const char* const SaveFailed = "Idlewarden: Save Failed";

std::string fixture(const char* name) { return ScratchDir::read(fs::path(__FILE__).parent_path() / "fixtures" / name); }

struct SettingsTest : ::testing::Test, test::BotHarness {
    ScratchDir dir;
    PlayerRecord* sysop = players.make(40, 4, "Sysop");

    void load(const std::string& fileText) {
        ScratchDir::write(FileName, fileText);
        bot.loadSettings();
    }
    Lines save() { return command(sysop, "afksavesetts", ""); }
    // Another bot of the process, new, after it has loaded the file.
    static std::unique_ptr<idlewarden::BotInstance> freshLoad() {
        auto other = std::make_unique<idlewarden::BotInstance>(99);
        other->loadSettings();
        return other;
    }
    void addNames(std::initializer_list<const char*> list) {
        for (const char* n : list) bot.exemptList.append(idlewarden::ExemptName::make(n));
    }
};

TEST_F(SettingsTest, NoFileChangesNothing) {
    addNames({"Kept"});
    bot.loadSettings();
    EXPECT_FALSE(bot.enabled);
    EXPECT_EQ(bot.afkTime, 0);
    EXPECT_EQ(names(), Lines{"Kept"});
    EXPECT_TRUE(host.take().empty());
}

TEST_F(SettingsTest, EnabledReadsItsFirstCharacterAndNeverClears) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true},   {"7", true},    {"10", true}, {"1x", true},  {" 1 ", true}, {"0", false},
        {"-1", false}, {"yes", false}, {"", false},  {"01", false}, {"-", false},
    };
    for (const auto& [value, sets] : cases) {
        SCOPED_TRACE(std::string("Enabled=") + value);
        bot.enabled = false;
        load(std::string("[Settings]\nEnabled=") + value + "\nAfkTime=3\n");
        EXPECT_EQ(bot.enabled, sets);
        bot.enabled = true;
        bot.loadSettings();
        EXPECT_TRUE(bot.enabled);
    }
    bot.enabled = false;
    load("[Settings]\nAfkTime=3\n");
    EXPECT_FALSE(bot.enabled);
    EXPECT_TRUE(host.take().empty());
}

TEST_F(SettingsTest, AfkTimeIsReadWholeAndWrapsTo16Bits) {
    const std::pair<const char*, uint16_t> cases[] = {
        {"15", 15}, {"0015", 15}, {"12345", 12345}, {"65531", 65531}, {"65535", 65535}, {"-5", 65531},
        {"0", 0},   {"65536", 0}, {"70000", 4464},  {"\"20\"", 20},   {"-", 9},         {"5 min", 9},
        {"", 9},    {"+5", 9},    {"1.5", 9},       {"five", 9},
    };
    for (const auto& [value, limit] : cases) {
        SCOPED_TRACE(std::string("AfkTime=") + value);
        bot.afkTime = 9;
        load(std::string("[Settings]\nAfkTime=") + value + "\n");
        EXPECT_EQ(bot.afkTime, limit);
    }
    bot.afkTime = 9;
    load("[Settings]\nEnabled=1\n");
    EXPECT_EQ(bot.afkTime, 9);
}

TEST_F(SettingsTest, NamesLoadInKeyOrderWithGapsOnce) {
    load("[Exemptions]\nName2=Bob\n");
    EXPECT_EQ(names(), Lines{"Bob"});

    load("[Exemptions]\nName30=Cy\nName1=ann\nName4=BOB\nName4=Second\nName5=\nName5=Dee\n");
    EXPECT_EQ(names(), (Lines{"Bob", "ann", "Cy"})) << "BOB is Bob already, and only the first line of a key counts";
    load("[Exemptions]\nName30=Cy\nName1=ann\nName2=Bob\n");
    EXPECT_EQ(names(), (Lines{"Bob", "ann", "Cy"})) << "a second load adds nothing";
}

TEST_F(SettingsTest, OnlyNameKeysWithAPlainNumberCount) {
    load(
        "[Exemptions]\nName0=Zero\nName01=Lead\nNameX=X\nName=None\nName-1=Minus\nName1a=Tail\n"
        "Name99999999999=Huge\nXName1=Prefix\nName 2=Space\nname3=Small\nNAME4=Caps\n");
    EXPECT_EQ(names(), (Lines{"Small", "Caps"}));
}

TEST_F(SettingsTest, ALongNameLoadsAsItsFirst19Characters) {
    load("[Exemptions]\nName1=ABCDEFGHIJKLMNOPQRSTUVWXY\n");
    EXPECT_EQ(names(), Lines{"ABCDEFGHIJKLMNOPQRS"});
    // Its own 19-character save loads back as the same record, not twice.
    EXPECT_EQ(save(), Lines{SaveComplete});
    bot.loadSettings();
    EXPECT_EQ(names(), Lines{"ABCDEFGHIJKLMNOPQRS"});
}

TEST_F(SettingsTest, WindowsProfileFileWithCrlfAndBlankLines) {
    load(fixture("windows_profile.ini"));
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(bot.afkTime, 10);
    EXPECT_EQ(names(), (Lines{"Bob", "Ann", "Cy"}));
}

TEST_F(SettingsTest, HandEditedFileWithBomCommentsCaseBlanksAndQuotes) {
    load(fixture("hand_edited.ini"));
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(bot.afkTime, 12);
    EXPECT_EQ(names(), (Lines{"Bob", " Ann ", "Cy", "Dee"}));
}

TEST_F(SettingsTest, SaveWritesTheSettingsAndNamesInOrder) {
    bot.enabled = true;
    bot.afkTime = 10;
    addNames({"Bob", "Ann"});
    EXPECT_EQ(save(), Lines{SaveComplete});
    const std::string expected = "[Settings]\nEnabled=1\nAfkTime=10\n[Exemptions]\nName1=Bob\nName2=Ann\n";
    EXPECT_EQ(ScratchDir::read(FileName), expected);
    EXPECT_EQ(save(), Lines{SaveComplete});
    EXPECT_EQ(ScratchDir::read(FileName), expected) << "saving twice gives the same file";
    EXPECT_FALSE(fs::exists("Idlewarden.ini.new"));

    // Removing the first name renumbers the rest; an empty list writes no section.
    command(sysop, "delexempt", "bob");
    save();
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=1\nAfkTime=10\n[Exemptions]\nName1=Ann\n");
    command(sysop, "delexempt", "ann");
    bot.enabled = false;
    bot.afkTime = 0;
    save();
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=0\nAfkTime=0\n");
}

TEST_F(SettingsTest, SaveReplacesEverythingTheOldFileHeld) {
    ScratchDir::write(FileName, "[Other]\nKey=1\n[Exemptions]\nName1=Gone\nName2=AlsoGone\n");
    ScratchDir::write("Idlewarden.ini.new", "left over from a crash");
    bot.afkTime = 3;
    EXPECT_EQ(save(), Lines{SaveComplete});
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=0\nAfkTime=3\n");
    EXPECT_FALSE(fs::exists("Idlewarden.ini.new"));
}

TEST_F(SettingsTest, EveryLimitAndFlagRoundTrips) {
    for (uint16_t limit : {0, 1, 9999, 10000, 65531, 65535}) {
        for (bool enabled : {false, true}) {
            SCOPED_TRACE(std::to_string(limit) + (enabled ? " on" : " off"));
            bot.afkTime = limit;
            bot.enabled = enabled;
            ASSERT_EQ(save(), Lines{SaveComplete});
            auto fresh = freshLoad();
            EXPECT_EQ(fresh->afkTime, limit);
            EXPECT_EQ(fresh->enabled, enabled);
        }
    }
}

TEST_F(SettingsTest, NamesThatTheReaderWouldChangeAreWrittenQuoted) {
    const Lines tricky = {" Bob",   "Bob ",   " ",   "\t",    "\"Q\"", "'s'",      "\"\"",
                          "\"half", "x\"y\"", "a=b", ";semi", "[br]",  "'mixed\"", "  two  "};
    for (const std::string& n : tricky) bot.exemptList.append(idlewarden::ExemptName::make(n.c_str()));
    ASSERT_EQ(save(), Lines{SaveComplete});
    EXPECT_EQ(test::namesOf(*freshLoad()), tricky);
    // A plain name is written plainly.
    bot.exemptList.clear();
    addNames({"Plain Name"});
    save();
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=0\nAfkTime=0\n[Exemptions]\nName1=Plain Name\n");
}

TEST_F(SettingsTest, ALineBreakInANameCannotAddLinesToTheFile) {
    addNames({"Bob\nName2=Evil\n[Settings]", "Ann\r\nAfkTime=1"});
    ASSERT_EQ(save(), Lines{SaveComplete});
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=0\nAfkTime=0\n[Exemptions]\nName1=Bob\nName2=Ann\n");
    EXPECT_EQ(test::namesOf(*freshLoad()), (Lines{"Bob", "Ann"}));
}

TEST_F(SettingsTest, A150NameListRoundTripsAndAReloadDoesNotDoubleIt) {
    Lines all;
    for (int i = 1; i <= 150; ++i) {
        all.push_back("Player" + std::to_string(i));
        ASSERT_EQ(command(sysop, "addexempt", all.back()), Lines{all.back() + " Added Successfully!"});
    }
    ASSERT_EQ(save(), Lines{SaveComplete});
    EXPECT_NE(ScratchDir::read(FileName).find("\nName150=Player150\n"), std::string::npos);
    auto fresh = freshLoad();
    EXPECT_EQ(test::namesOf(*fresh), all);
    fresh->loadSettings();
    EXPECT_EQ(test::namesOf(*fresh), all);
    bot.loadSettings();
    EXPECT_EQ(names(), all);
}

TEST_F(SettingsTest, ALargeFileSkipsDuplicatesOnTheStoredFormAndKeepsKeyOrder) {
    // 20,000 keys written last to first. Every 7th repeats the name three
    // keys before it in capitals; every 11th is a 25-character name whose
    // first 19 characters are shared by all of them; Name10 has a second
    // line; the list already holds "player5" from an earlier load.
    constexpr int Count = 20000;
    const std::string shared19 = "LongNameSharedBy19x";
    auto valueOf = [&](int k) {
        if (k % 11 == 0) return shared19 + "-" + std::to_string(k % 100000);
        if (k % 7 == 0) {
            std::string upper = "Player" + std::to_string(k - 3);
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return upper;
        }
        return "Player" + std::to_string(k);
    };
    std::string file = "[Exemptions]\n";
    for (int k = Count; k >= 1; --k) file += "Name" + std::to_string(k) + "=" + valueOf(k) + "\n";
    file += "Name10=NotTheFirstLine\n";
    addNames({"player5"});
    load(file);

    // What the list must hold: the first of each stored form (19
    // characters, ASCII case ignored) in key order, after what was there.
    Lines expected{"player5"};
    std::set<std::string> seen{"player5"};
    for (int k = 1; k <= Count; ++k) {
        std::string stored = valueOf(k).substr(0, 19);
        std::string form = stored;
        for (char& c : form) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (seen.insert(form).second) expected.push_back(stored);
    }
    const Lines loaded = names();
    ASSERT_EQ(loaded.size(), expected.size());
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(loaded[1], "Player1");
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), shared19), 1) << "one record for all the long names";
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), "Player5"), 0) << "player5 was there first";
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), "NotTheFirstLine"), 0);

    // A second load adds nothing.
    bot.loadSettings();
    EXPECT_EQ(names().size(), expected.size());
}

TEST_F(SettingsTest, AFileOver16MiBLoadsNothing) {
    const std::string head = "[Settings]\nEnabled=1\nAfkTime=7\n[Exemptions]\nName1=Bob\n;";
    const size_t limit = size_t{16} << 20;
    std::string file = head + std::string(limit - head.size() - 1, 'x') + "\n";
    ASSERT_EQ(file.size(), limit);
    load(file);
    EXPECT_TRUE(bot.enabled) << "16 MiB exactly is read";
    EXPECT_EQ(bot.afkTime, 7);
    EXPECT_EQ(names(), Lines{"Bob"});

    idlewarden::BotInstance other(2);
    other.callback = test::Recorder::callback();
    ScratchDir::write(FileName, file + "x");
    other.loadSettings();
    EXPECT_FALSE(other.enabled);
    EXPECT_EQ(other.afkTime, 0);
    EXPECT_EQ(test::namesOf(other), Lines{});
    EXPECT_TRUE(host.take().empty());
}

TEST_F(SettingsTest, APipeNamedLikeTheFileIsNeverWaitedOn) {
    ASSERT_EQ(mkfifo(FileName, 0600), 0);
    bot.loadSettings();  // returns at once: a pipe is never waited on
    EXPECT_EQ(bot.afkTime, 0);
    EXPECT_EQ(names(), Lines{});
}

TEST_F(SettingsTest, TwoBotsShareOneFileAndTheLastSaveWins) {
    idlewarden::BotInstance second(2);
    second.callback = test::Recorder::callback();
    bot.afkTime = 3;
    addNames({"First"});
    second.afkTime = 8;
    second.enabled = true;
    second.exemptList.append(idlewarden::ExemptName::make("Second"));
    EXPECT_EQ(save(), Lines{SaveComplete});
    second.saveSettings(sysop);
    const auto sent = host.take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].handle, 2u);
    EXPECT_EQ(sent[0].text, SaveComplete);
    EXPECT_EQ(ScratchDir::read(FileName), "[Settings]\nEnabled=1\nAfkTime=8\n[Exemptions]\nName1=Second\n");
    auto third = freshLoad();
    EXPECT_TRUE(third->enabled);
    EXPECT_EQ(third->afkTime, 8);
    EXPECT_EQ(test::namesOf(*third), Lines{"Second"});
}

TEST_F(SettingsTest, ASaveBlockedByADirectoryFailsAndSaysSo) {
    fs::create_directory(FileName);
    bot.afkTime = 5;
    EXPECT_EQ(save(), Lines{SaveFailed});
    EXPECT_TRUE(fs::is_directory(FileName));
    EXPECT_FALSE(fs::exists("Idlewarden.ini.new"));
    bot.loadSettings();  // a directory reads as no file
    EXPECT_EQ(bot.afkTime, 5);
    EXPECT_EQ(names(), Lines{});
}

TEST_F(SettingsTest, AFailedSaveKeepsTheOldFileByteForByte) {
    const std::string old = "[Settings]\r\nEnabled=1\r\nAfkTime=42\r\n\r\n[Exemptions]\r\nName1=Old\r\n";
    ScratchDir::write(FileName, old);
    fs::create_directory("Idlewarden.ini.new");
    bot.afkTime = 7;
    addNames({"New"});
    EXPECT_EQ(save(), Lines{SaveFailed});
    EXPECT_EQ(ScratchDir::read(FileName), old);
    EXPECT_TRUE(fs::is_directory("Idlewarden.ini.new"));
}

TEST_F(SettingsTest, WithoutACurrentDirectoryNothingIsReadOrWritten) {
    const fs::path gone = dir.path / "gone";
    fs::create_directory(gone);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    bot.afkTime = 4;
    bot.loadSettings();
    EXPECT_EQ(bot.afkTime, 4);
    EXPECT_FALSE(bot.enabled);
    EXPECT_EQ(save(), Lines{SaveFailed});
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    EXPECT_TRUE(fs::is_empty(dir.path)) << "nothing was written next to the vanished directory";
}

TEST_F(SettingsTest, ADeepDirectoryWorks) {
    fs::path deep = dir.path;
    for (int i = 0; i < 6; ++i) deep /= std::string(100, static_cast<char>('a' + i));
    fs::create_directories(deep);
    ASSERT_GT(deep.string().size(), 600u);
    fs::current_path(deep);
    bot.enabled = true;
    bot.afkTime = 6;
    addNames({"Deep"});
    EXPECT_EQ(save(), Lines{SaveComplete});
    EXPECT_EQ(ScratchDir::read(deep / FileName), "[Settings]\nEnabled=1\nAfkTime=6\n[Exemptions]\nName1=Deep\n");
    auto fresh = freshLoad();
    EXPECT_TRUE(fresh->enabled);
    EXPECT_EQ(fresh->afkTime, 6);
    EXPECT_EQ(test::namesOf(*fresh), Lines{"Deep"});
}

}  // namespace
