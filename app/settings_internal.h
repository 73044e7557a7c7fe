// Helpers shared by the settings sources: reading and writing single values
// of the settings file by string ids, and small text utilities.
#pragma once

#include <cstddef>

#include "app/settings.h"
#include "core/path.h"

namespace settings_detail {

// Whether `value` starts with the text of string `id`, in any case.
bool startsWithFixed(const char* value, unsigned id);

// A whole decimal integer (blanks around it, an optional sign); false for
// anything else or a value outside the int range.
bool parseInteger(const char* text, int& out);

// Reads: absent or malformed values give the default.
int readInteger(unsigned sectionId, unsigned keyId, int defaultValue, const char* file);
bool readBool(unsigned keyId, const char* file, bool defaultValue);
void readText(unsigned keyId, char* out, int size, const char* file);
// The name of `keyId` followed by the decimal `position` ("OpenFile1").
bool numberedKey(unsigned keyId, int position, char* out, int size);

// Writes: non-zero when written.
int writeBool(unsigned keyId, bool value, const char* file);
int writeInteger(unsigned sectionId, unsigned keyId, int value, const char* file);
int writeRect(unsigned keyId, const SettingsRect& rect, const char* file);
int removeKey(unsigned sectionId, unsigned keyId, const char* file);

}  // namespace settings_detail
