// The settings check: one warning for each line or value that a load
// ignores or changes, none for what it reads as written, and the same
// reading as the load itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bot_harness.h"
#include "scratch_dir.h"
#include "settings/settings_check.h"

using test::Lines;
using test::ScratchDir;

namespace {

namespace fs = std::filesystem;
using idlewarden::platform::ReadStatus;

void collect(void* context, uint32_t line, const char* text) {
    static_cast<Lines*>(context)->push_back(std::to_string(line) + ": " + text);
}

Lines check(const std::string& fileText) {
    idlewarden::String text;
    EXPECT_TRUE(text.assign(fileText.data(), static_cast<uint32_t>(fileText.size())));
    Lines warnings;
    const int32_t n = idlewarden::checkSettingsText(text, &collect, &warnings);
    EXPECT_EQ(n, static_cast<int32_t>(warnings.size()));
    return warnings;
}

std::string fixture(const char* name) { return ScratchDir::read(fs::path(__FILE__).parent_path() / "fixtures" / name); }

TEST(SettingsCheck, WhatASaveWritesIsClean) {
    EXPECT_EQ(check(""), Lines{});
    EXPECT_EQ(check("[Settings]\nEnabled=0\nAfkTime=0\n"), Lines{});
    EXPECT_EQ(check("[Settings]\nEnabled=1\nAfkTime=65535\n[Exemptions]\nName1=Bob\nName2=\" Ann \"\n"), Lines{});
    EXPECT_EQ(check(fixture("windows_profile.ini")), Lines{});
    EXPECT_EQ(check("; comment\n\n[Exemptions]\nName3=Cy\nName1=Bob\n"), Lines{}) << "gaps and order are fine";
}

// Each value of `key` on line 2 of [Settings], followed by `rest`, gets the
// warning given, or none.
void expectValues(const char* key, const char* rest, std::initializer_list<std::pair<const char*, const char*>> cases) {
    for (const auto& [value, warning] : cases) {
        SCOPED_TRACE(std::string(key) + "=" + value);
        EXPECT_EQ(check(std::string("[Settings]\n") + key + "=" + value + "\n" + rest),
                  warning == nullptr ? Lines{} : Lines{std::string("2: ") + warning});
    }
}

TEST(SettingsCheck, EnabledAndAfkTimeValues) {
    expectValues(
        "Enabled", "AfkTime=5\n",
        {
            {"1", nullptr},
            {"7", nullptr},
            {"0", nullptr},
            {"10", "Enabled \"10\" is read as its first character \"1\""},
            {"01", "Enabled \"01\" is read as its first character \"0\""},
            {"true", "Enabled \"true\" is read as its first character \"t\", which is not a number above 0; ignored"},
            {"-1", "Enabled \"-1\" is read as its first character \"-\", which is not a number above 0; ignored"},
            {"x", "Enabled \"x\" is not a number above 0; ignored"},
            {"", "Enabled is empty; ignored"},
        });
    expectValues("AfkTime", "",
                 {
                     {"15", nullptr},
                     {"0015", nullptr},
                     {"65535", nullptr},
                     {"-0", nullptr},
                     {"70000", "AfkTime \"70000\" is cut to 16 bits: 4464 minutes"},
                     {"-5", "AfkTime \"-5\" is cut to 16 bits: 65531 minutes"},
                     {"99999999999", "AfkTime \"99999999999\" is cut to 16 bits: 59391 minutes"},
                     {"5 min", "AfkTime \"5 min\" is not a whole number of minutes; ignored"},
                     {"-", "AfkTime \"-\" is not a whole number of minutes; ignored"},
                     {"", "AfkTime is empty; ignored"},
                 });
}

// A host's roster event right after the connect switches checking off
// again while no limit is set: the Enabled line that switched it on says so.
TEST(SettingsCheck, CheckingOnWithoutALimitIsUndoneByTheRosterEvent) {
    const std::string warning =
        "2: Enabled switches checking on, but no time limit (AfkTime above 0) is set: the host's roster event after "
        "the connect switches it off again";
    for (const char* rest : {"", "AfkTime=0\n", "AfkTime=5 min\n", "AfkTime=65536\n"}) {
        SCOPED_TRACE(rest);
        const Lines warnings = check(std::string("[Settings]\nEnabled=1\n") + rest);
        ASSERT_FALSE(warnings.empty());
        EXPECT_EQ(warnings.front(), warning);
    }
    EXPECT_EQ(check("[Settings]\nAfkTime=0\nEnabled=0\n"), Lines{});
    EXPECT_EQ(check("[Settings]\nAfkTime=1\nEnabled=1\n"), Lines{});
}

TEST(SettingsCheck, AFlawedFileGetsOneWarningPerIgnoredLineInLineOrder) {
    const std::string file =
        "Orphan=1\n"                         // 1
        "[Settings]\n"                       // 2
        "Enabled=true\n"                     // 3
        "AfkTime=5 min\n"                    // 4
        "Colour=blue\n"                      // 5
        "afktime=7\n"                        // 6
        "[Exemptions]\n"                     // 7
        "Name2=bob\n"                        // 8
        "Name1=ABCDEFGHIJKLMNOPQRSTUVWXY\n"  // 9
        "this line has no equals sign\n"     // 10
        "Name3=Bob\n"                        // 11
        "Name1=Again\n"                      // 12
        "Name01=Lead\n"                      // 13
        "Name4=\n"                           // 14
        "Name5=abcdefghijklmnopqrsTAIL\n"    // 15
        "[Other]\n"                          // 16
        "no equals here either\n"            // 17
        "[SETTINGS]\n"                       // 18
        "Enabled=1\n";                       // 19
    EXPECT_EQ(check(file), (Lines{
                               "1: key \"Orphan\" is outside any section; ignored",
                               "3: Enabled \"true\" is read as its first character \"t\", which is not a number above "
                               "0; ignored",
                               "4: AfkTime \"5 min\" is not a whole number of minutes; ignored",
                               "5: key \"Colour\" is read by no setting (Enabled, AfkTime); ignored",
                               "6: AfkTime repeats line 4; this line is ignored",
                               "9: name \"ABCDEFGHIJKLMNOPQRSTUVWXY\" is cut to 19 characters: \"ABCDEFGHIJKLMNOPQRS\"",
                               "10: line is neither key=value nor a [section]; ignored",
                               "11: name \"Bob\" is already on the list as \"bob\" (Name2, line 8); ignored",
                               "12: Name1 repeats line 9; this line is ignored",
                               "13: key \"Name01\" is not a name key (Name1, Name2, ...); ignored",
                               "14: Name4 is empty; ignored",
                               "15: name \"abcdefghijklmnopqrsTAIL\" is already on the list as \"ABCDEFGHIJKLMNOPQRS\" "
                               "(Name1, line 9); ignored",
                               "16: section [Other] is read by nobody; its lines are ignored",
                               "18: section [SETTINGS] repeats line 2; only the first is read, this one and its lines "
                               "are ignored",
                           }));
}

TEST(SettingsCheck, AgreesWithTheLoadOnAHandEditedFile) {
    const std::string file = fixture("hand_edited.ini");
    EXPECT_EQ(check(file), (Lines{
                               "7: section [Other] is read by nobody; its lines are ignored",
                               "14: key \"Name01\" is not a name key (Name1, Name2, ...); ignored",
                               "15: key \"Name0\" is not a name key (Name1, Name2, ...); ignored",
                               "16: key \"NameX\" is not a name key (Name1, Name2, ...); ignored",
                               "18: Name7 is empty; ignored",
                               "19: name \"bob\" is already on the list as \"Bob\" (Name1, line 13); ignored",
                               "21: Name12 repeats line 20; this line is ignored",
                               "23: section [Exemptions] repeats line 10; only the first is read, this one and its "
                               "lines are ignored",
                           }));
    // The load takes exactly the name lines that got no warning, in key order.
    ScratchDir dir;
    ScratchDir::write("Idlewarden.ini", file);
    idlewarden::BotInstance bot(1);
    bot.loadSettings();
    EXPECT_EQ(test::namesOf(bot), (Lines{"Bob", " Ann ", "Cy", "Dee"}));
}

// A NUL byte ends a value as it ends a C text: what follows it is ignored,
// which the check says; and a warning that shows such a byte (or another
// control byte) writes it as \xNN, so that the text is neither cut nor raw.
TEST(SettingsCheck, NulBytesInValuesAndNames) {
    using namespace std::string_literals;
    const std::string file =
        "[Settings]\n"                          // 1
        "AfkTime=5\0junk\n"s                    // 2
        "Enabled=1\0x\n"                        // 3
        "Lan\0g\x1b=1\n"                        // 4
        "[Exemptions]\n"                        // 5
        "Name1=Ab\0cd\n"                        // 6
        "Name2=ABCDEFGHIJKLMNOPQRSTUVWXYZ\0\n"  // 7
        "Na\0me3=x\n"                           // 8
        "Name4=\0y\n";                          // 9
    EXPECT_EQ(check(file),
              (Lines{
                  "2: AfkTime is cut at a NUL byte to \"5\"",
                  "3: Enabled is cut at a NUL byte to \"1\"",
                  "4: key \"Lan\\x00g\\x1B\" is read by no setting (Enabled, AfkTime); ignored",
                  "6: name is cut at a NUL byte to \"Ab\"",
                  "7: name \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\" is cut to 19 characters: \"ABCDEFGHIJKLMNOPQRS\"",
                  "8: key \"Na\\x00me3\" is not a name key (Name1, Name2, ...); ignored",
                  "9: Name4 is empty; ignored",
              }));
    EXPECT_EQ(check("[Settings]\nEnabled=\0"
                    "1\n"s),
              (Lines{"2: Enabled is cut at a NUL byte to \"\"", "2: Enabled is empty; ignored"}));
    ScratchDir dir;
    ScratchDir::write("Idlewarden.ini", file);
    idlewarden::BotInstance bot(1);
    bot.loadSettings();
    EXPECT_TRUE(bot.enabled);
    EXPECT_EQ(bot.afkTime, 5);
    EXPECT_EQ(test::namesOf(bot), (Lines{"Ab", "ABCDEFGHIJKLMNOPQRS"}));
}

TEST(SettingsCheck, AFileThatCannotBeReadSaysWhy) {
    ScratchDir dir;
    Lines warnings;
    int32_t n = 99;
    EXPECT_EQ(idlewarden::checkSettingsFile("missing.ini", &collect, &warnings, n), ReadStatus::Missing);
    fs::create_directory("folder.ini");
    EXPECT_EQ(idlewarden::checkSettingsFile("folder.ini", &collect, &warnings, n), ReadStatus::NotAFile);
    ScratchDir::write("big.ini", "[Settings]\nEnabled=x\n;" + std::string((size_t{16} << 20) - 22, 'x') + "\n");
    EXPECT_EQ(idlewarden::checkSettingsFile("big.ini", &collect, &warnings, n), ReadStatus::TooLarge);
    EXPECT_EQ(warnings, Lines{});
    ScratchDir::write("ok.ini", "[Settings]\nEnabled=x\n");
    EXPECT_EQ(idlewarden::checkSettingsFile("ok.ini", &collect, &warnings, n), ReadStatus::Ok);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(warnings, Lines{"2: Enabled \"x\" is not a number above 0; ignored"});
}

TEST(SettingsCheck, ALargeFileIsCheckedWhole) {
    std::string file = "[Exemptions]\n";
    for (int k = 1; k <= 20000; ++k) file += "Name" + std::to_string(k) + "=P" + std::to_string(k % 10000) + "\n";
    const Lines warnings = check(file);
    ASSERT_EQ(warnings.size(), 10000u) << "the second half repeats the first";
    EXPECT_EQ(warnings.front(), "10002: name \"P1\" is already on the list as \"P1\" (Name1, line 2); ignored");
    EXPECT_EQ(warnings.back(), "20001: name \"P0\" is already on the list as \"P0\" (Name10000, line 10001); ignored")
        << "in line order";
}

}  // namespace
