// The template table of a generation: the 85 templates of section
// GenStrings with the template variables substituted, and the time text.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "config/profile.h"
#include "core/allocator.h"
#include "generator/generation.h"
#include "resources/strings.h"

namespace {

bool isUpperLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}
bool isLowerLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c != 0xF7);
}

// The letters between the two percent signs of an occurrence: all lower
// case (-1), all upper case (1), mixed (0).
int letterCase(const char* occurrence, std::size_t length) {
    bool upper = false, lower = false;
    const char* first = static_cast<const char*>(std::memchr(occurrence, '%', length));
    if (!first) return 0;
    for (const char* p = first + 1; p < occurrence + length && *p != '%'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (isUpperLetter(c)) upper = true;
        if (isLowerLetter(c)) lower = true;
    }
    if (upper && !lower) return 1;
    if (lower && !upper) return -1;
    return 0;
}

// The tokens are ASCII: comparing ASCII letters without regard to case is
// enough.
char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool matchesNoCase(const char* text, const char* token, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (!text[i] || asciiUpper(text[i]) != asciiUpper(token[i])) return false;
    return true;
}

}  // namespace

void substituteVariable(char* text, std::size_t size, const char* token, const char* value,
                        bool doubleBackslashes) {
    if (!text || size == 0 || !token || !*token) return;
    const std::size_t tokenLength = std::strlen(token);
    if (!value) value = "";

    // The value in its three cases, backslashes doubled as asked.
    char plain[kTemplateValueSize * 2];
    std::size_t n = 0;
    for (const char* v = value; *v && n + 2 < sizeof plain; ++v) {
        plain[n++] = *v;
        if (doubleBackslashes && *v == '\\') plain[n++] = '\\';
    }
    plain[n] = 0;
    char upper[sizeof plain];
    char lower[sizeof plain];
    std::memcpy(upper, plain, n + 1);
    std::memcpy(lower, plain, n + 1);
    upperCase(upper);
    lowerCase(lower);

    char result[kTemplateValueSize * 4];
    std::size_t out = 0;
    const std::size_t limit = size - 1 < sizeof result - 1 ? size - 1 : sizeof result - 1;
    for (const char* p = text; *p && out < limit;) {
        if (matchesNoCase(p, token, tokenLength)) {
            const int letters = letterCase(p, tokenLength);
            const char* insert = letters > 0 ? upper : letters < 0 ? lower : plain;
            for (std::size_t i = 0; i < n && out < limit; ++i) result[out++] = insert[i];
            p += tokenLength;
        } else {
            result[out++] = *p++;
        }
    }
    result[out] = 0;
    std::memcpy(text, result, out + 1);
}

void formatTimeText(char* out, std::size_t size, const char* shortDatePattern, const char* timeSeparator,
                    const GenTime& time) {
    if (!out || size == 0) return;
    const char* pattern = shortDatePattern && *shortDatePattern ? shortDatePattern : "M/d/yyyy";
    const char* separator = timeSeparator && *timeSeparator ? timeSeparator : ":";
    char date[64];
    std::size_t n = 0;
    bool seen[3] = {false, false, false};  // day, month, year
    for (const char* p = pattern; *p && n + 8 < sizeof date;) {
        const char c = *p;
        int field = c == 'd' || c == 'D' ? 0 : c == 'M' || c == 'm' ? 1 : c == 'y' || c == 'Y' ? 2 : -1;
        if (field < 0) {
            // Separators as written; quoted parts lose their quotes.
            if (c != '\'') date[n++] = c;
            ++p;
            continue;
        }
        while (*p == c) ++p;
        if (seen[field]) continue;
        seen[field] = true;
        const int value = field == 0 ? time.day : field == 1 ? time.month : time.year;
        const int written = std::snprintf(date + n, sizeof date - n, field == 2 ? "%04d" : "%02d", value);
        if (written > 0) n += static_cast<std::size_t>(written);
    }
    date[n] = 0;
    std::snprintf(out, size, "%s %02d%s%02d%s%02d", date, time.hour, separator, time.minute, separator,
                  time.second);
}

void localNow(GenTime* out) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) local = *t;
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    // File times count 100-ns units from 1601-01-01 (UTC).
    out->fileTime = (static_cast<std::uint64_t>(now) + 11644473600ull) * 10000000ull;
}

void systemTimeText(const GenTime& time, char* out, std::size_t size) {
    char shortDate[80];
    char separator[8];
    platform::profileGetString("intl", "sShortDate", "", shortDate, sizeof shortDate, nullptr);
    platform::profileGetString("intl", "sTime", "", separator, sizeof separator, nullptr);
    formatTimeText(out, size, shortDate, separator, time);
}

TemplateTable* buildTemplateTable(const char* configPath, const TemplateVariables& variables) {
    auto* table = static_cast<TemplateTable*>(memAlloc(sizeof(TemplateTable)));
    if (!table) return nullptr;
    for (int i = 0; i < kTemplateCount; ++i) {
        TemplateEntry& entry = table->entries[i];
        char name[kProfileNameSize];
        if (platform::loadString(templateNameId(i), name, sizeof name) <= 0) name[0] = 0;
        char value[kTemplateValueSize];
        readProfileText(IDS_SEC_GENSTRINGS, templateNameId(i), kTemplateSentinel, value, sizeof value,
                        configPath);
        if (std::strcmp(value, kTemplateSentinel) == 0) {
            std::strcpy(value, kTemplateDefault);
            entry.flags = kTemplateAbsent;
        } else {
            substituteVariable(value, sizeof value, "\\%TIME%", variables.time, false);
            substituteVariable(value, sizeof value, "\\%CFG%", variables.configPath, true);
            substituteVariable(value, sizeof value, "\\%PNAME%", variables.title, false);
            substituteVariable(value, sizeof value, "\\%PVER%", variables.version, false);
            substituteVariable(value, sizeof value, "\\%FILE%", variables.diagramPath, true);
            substituteVariable(value, sizeof value, "\\%GENFILE%", variables.outputPath, true);
        }
        entry.name = memStrDup(name);
        entry.value = memStrDup(value);
        if (!entry.name || !entry.value) {
            freeTemplateTable(table);
            return nullptr;
        }
    }
    return table;
}

void freeTemplateTable(TemplateTable* table) {
    if (!table) return;
    for (TemplateEntry& entry : table->entries) {
        entry.name = static_cast<char*>(memFree(entry.name));
        entry.value = static_cast<char*>(memFree(entry.value));
    }
    memFree(table);
}
