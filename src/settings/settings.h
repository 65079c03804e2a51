// The settings file: where it lives and what it is called.
//
// One file in the process's current directory, shared by every bot of the
// process: section "Settings" with "Enabled" (0 or 1) and "AfkTime" (minutes,
// decimal), and, when there are exempt names, section "Exemptions" with
// Name1, Name2, ... in list order. Loading (BotInstance::loadSettings) only
// adds to an instance; saving (BotInstance::saveSettings) replaces the file
// whole and atomically, or leaves the old one untouched.
#pragma once

namespace idlewarden {
inline constexpr const char* SettingsFileName = "Idlewarden.ini";
}
