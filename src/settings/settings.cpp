#include "settings/settings.h"

#include "host/bot_instance.h"
#include "kit/text.h"
#include "kit/text_string.h"
#include "platform/platform.h"
#include "settings/ini.h"
#include "settings/settings_rules.h"

namespace idlewarden {

namespace {
const char* const SaveComplete = "Idlewarden: Save Complete";
const char* const SaveFailed = "Idlewarden: Save Failed";

// Appends the names of the Exemptions section in increasing key number,
// skipping names already on the list (so reloading adds nothing twice).
// Without memory for the plan no name is loaded.
void loadNames(BotInstance& bot, const String& text) {
    NamePlan plan;
    if (!plan.make(text, bot.exemptList)) return;
    char stored[ExemptName::Size];
    for (uint32_t i = 0; i < plan.count; ++i) {
        if (plan.lines[i].fate != NameFate::Loaded) continue;
        storedName(plan.lines[i].value(), stored);
        ExemptName* record = ExemptName::make(stored);
        if (record != nullptr) bot.exemptList.append(record);
    }
}
}  // namespace

void BotInstance::loadSettings() {
    String path;
    if (!platform::pathInCurrentDirectory(SettingsFileName, path)) return;
    String text;
    if (platform::readFile(path.c_str(), SettingsFileMaxSize, text) != platform::ReadStatus::Ok) return;

    TextSpan value;
    // Enabled: its first character only; a positive digit switches checking
    // on, anything else leaves the flag as it was.
    if (iniLookup(text, SettingsSection, EnabledKey, value) && enabledSwitchesOn(value)) enabled = true;
    // AfkTime: the whole value, as the afktime command reads it.
    if (iniLookup(text, SettingsSection, AfkTimeKey, value)) {
        const AfkTimeReading reading = readAfkTime(value);
        if (reading.usable) afkTime = reading.minutes;
    }
    loadNames(*this, text);
}

void BotInstance::saveSettings(const PlayerRecord* issuer) {
    String path;
    IniWriter file;
    bool ok = platform::pathInCurrentDirectory(SettingsFileName, path);
    if (ok) {
        bool afkOk = false, flagOk = false;
        String afk = numberToText(afkTime, 10, 0, true, &afkOk);
        String flag = numberToText(enabled ? 1u : 0u, 2, 0, true, &flagOk);
        ok = afkOk && flagOk && file.section("Settings") && file.entry("Enabled", flag.c_str()) &&
             file.entry("AfkTime", afk.c_str());
    }
    if (ok && exemptList.nodeCount > 0) {
        ok = file.section("Exemptions");
        String key;
        int32_t k = 1;
        for (auto* node = exemptList.firstNode; ok && node != nullptr; node = node->nextNode, ++k) {
            ok = key.assign("Name") && key.append(k) && file.entry(key.c_str(), node->item->text);
        }
    }
    ok = ok && platform::replaceFile(path.c_str(), file.text.c_str(), file.text.length);
    sendPrivate(issuer, ok ? SaveComplete : SaveFailed);
}

}  // namespace idlewarden
