// Explains a settings file as BotInstance::loadSettings reads it into a new
// bot: every line or value that the load ignores or changes, with its line
// number. Uses the module's own reader and value rules (settings_rules.h),
// so the explanation and the load cannot disagree. Not used by the module
// itself; a host tool calls it.
#pragma once

#include <cstdint>

#include "kit/text_string.h"
#include "platform/platform.h"

namespace idlewarden {

// Receives one warning: the file's line (from 1) and a text of one line.
using SettingsWarningSink = void (*)(void* context, uint32_t line, const char* text);

// Reports the warnings of `text` (a settings file's whole content) to
// `sink`, in line order, several of one line in the order found. Returns
// the number reported, or -1 when memory ran short (nothing is reported
// then).
int32_t checkSettingsText(const String& text, SettingsWarningSink sink, void* context);

// Reads the file at `path` as a load does (the same size limit included)
// and checks it. On any status but Ok nothing is reported; `warnings` gets
// the number reported (or -1 as above).
platform::ReadStatus checkSettingsFile(const char* path, SettingsWarningSink sink, void* context, int32_t& warnings);

}  // namespace idlewarden
