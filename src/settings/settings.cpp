#include "settings/settings.h"

#include <algorithm>
#include <new>

#include "host/bot_instance.h"
#include "kit/text.h"
#include "kit/text_string.h"
#include "platform/platform.h"
#include "settings/ini.h"

namespace idlewarden {

namespace {
const char* const SaveComplete = "Idlewarden: Save Complete";
const char* const SaveFailed = "Idlewarden: Save Failed";

// A value of the file as its own NUL-terminated String; false if memory is short.
bool lookup(const String& text, const char* section, const char* key, String& value) {
    TextSpan span;
    return iniLookup(text, section, key, span) && value.assign(span.start, span.length);
}

// K of a key "Name<K>", K >= 1 in decimal without leading zeros; 0 if the
// key is not of that form.
uint32_t nameKeyNumber(const TextSpan& key) {
    static const char prefix[] = "name";
    constexpr uint32_t prefixLength = sizeof prefix - 1;
    if (key.length <= prefixLength || key.length > prefixLength + 10) return 0;
    for (uint32_t i = 0; i < prefixLength; ++i) {
        if (toLowerAscii(key.start[i]) != prefix[i]) return 0;
    }
    if (key.start[prefixLength] == '0') return 0;
    uint64_t k = 0;
    for (uint32_t i = prefixLength; i < key.length; ++i) {
        const char c = key.start[i];
        if (c < '0' || c > '9') return 0;
        k = k * 10 + static_cast<uint32_t>(c - '0');
    }
    return k > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(k);
}

struct NameKey {
    uint32_t number;
    TextSpan value;
};

// Appends the names of the Exemptions section in increasing key number,
// skipping names already on the list (so reloading adds nothing twice).
void loadNames(BotInstance& bot, const String& text) {
    uint32_t count = 0;
    iniForEachKey(text, "Exemptions", [&](const TextSpan& key, const TextSpan&) {
        if (nameKeyNumber(key) != 0) ++count;
        return true;
    });
    if (count == 0) return;
    NameKey* keys = new (std::nothrow) NameKey[count];
    if (keys == nullptr) return;
    uint32_t n = 0;
    iniForEachKey(text, "Exemptions", [&](const TextSpan& key, const TextSpan& value) {
        const uint32_t number = nameKeyNumber(key);
        if (number != 0 && n < count) keys[n++] = NameKey{number, value};
        return true;
    });
    // Stable, so that of two lines with one key the first counts.
    std::stable_sort(keys, keys + n, [](const NameKey& a, const NameKey& b) { return a.number < b.number; });
    String name;
    for (uint32_t i = 0; i < n; ++i) {
        if (i > 0 && keys[i].number == keys[i - 1].number) continue;
        const uint32_t length = std::min(keys[i].value.length, ExemptName::MaxLength);
        if (!name.assign(keys[i].value.start, length)) continue;
        if (name.isEmpty() || bot.isExempt(name.c_str())) continue;
        ExemptName* record = ExemptName::make(name.c_str());
        if (record != nullptr) bot.exemptList.append(record);
    }
    delete[] keys;
}
}  // namespace

void BotInstance::loadSettings() {
    String path;
    if (!platform::pathInCurrentDirectory(SettingsFileName, path)) return;
    String text;
    if (!readTextFile(path.c_str(), text)) return;

    String value;
    // Enabled: its first character only; a positive digit switches checking
    // on, anything else leaves the flag as it was.
    if (lookup(text, "Settings", "Enabled", value) && !value.isEmpty() && value.assign(value.c_str(), 1) &&
        isNumeric(value.c_str()) && value.toInt() > 0) {
        enabled = true;
    }
    // AfkTime: the whole value, as the afktime command reads it.
    if (lookup(text, "Settings", "AfkTime", value) && isNumeric(value.c_str())) {
        afkTime = static_cast<uint16_t>(static_cast<uint32_t>(value.toInt()) & 0xFFFFu);
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
