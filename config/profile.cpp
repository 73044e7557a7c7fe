#include "config/profile.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "resources/strings.h"

namespace {

// Loads the text of `id`; false when the table has none.
bool loadName(unsigned id, char (&out)[kProfileNameSize]) {
    return platform::loadString(id, out, kProfileNameSize) > 0;
}

const char* orEmpty(const char* text) {
    return text ? text : "";
}

unsigned char upperOf(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 16);
    if (c == 0xFF) return 0x9F;
    return c;
}

unsigned char lowerOf(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
    if (c == 0x9F) return 0xFF;
    return c;
}

// Whether `value` equals the text of `id` in any case.
bool equalsFixed(const char* value, unsigned id) {
    char text[kProfileNameSize];
    return id && loadName(id, text) && equalNoCase(value, text);
}

int boolOf(const char* value, int defaultValue) {
    if (equalsFixed(value, IDS_VAL_YES) || equalsFixed(value, IDS_VAL_TRUE) ||
        equalsFixed(value, IDS_VAL_ONE))
        return 1;
    if (equalsFixed(value, IDS_VAL_NO) || equalsFixed(value, IDS_VAL_FALSE) ||
        equalsFixed(value, IDS_VAL_ZERO))
        return 0;
    return defaultValue;
}

// Reads the value of `keyId` in `section` (at most size-1 characters); false
// when the key text cannot be loaded.
bool readValue(unsigned keyId, const char* section, char* buffer, int size, const char* file) {
    char key[kProfileNameSize];
    buffer[0] = 0;
    if (!section || !loadName(keyId, key)) return false;
    platform::profileGetString(section, key, "", buffer, static_cast<std::uint32_t>(size), file);
    return true;
}

// Writes `value` with its line breaks made blanks.
int writeClean(const char* section, const char* key, const char* value, const char* file) {
    if (!value || !std::strpbrk(value, "\r\n"))
        return platform::profileWriteString(section, key, value, file);
    std::size_t n = std::strlen(value);
    char small[256];
    char* copy = n < sizeof small ? small : new (std::nothrow) char[n + 1];
    if (!copy) return 0;
    for (std::size_t i = 0; i <= n; ++i) copy[i] = value[i] == '\r' || value[i] == '\n' ? ' ' : value[i];
    int ok = platform::profileWriteString(section, key, copy, file);
    if (copy != small) delete[] copy;
    return ok;
}

}  // namespace

bool equalNoCase(const char* a, const char* b) {
    a = orEmpty(a);
    b = orEmpty(b);
    for (;; ++a, ++b) {
        if (upperOf(static_cast<unsigned char>(*a)) != upperOf(static_cast<unsigned char>(*b))) return false;
        if (!*a) return true;
    }
}

void upperCase(char* text) {
    for (; text && *text; ++text) *text = static_cast<char>(upperOf(static_cast<unsigned char>(*text)));
}

void lowerCase(char* text) {
    for (; text && *text; ++text) *text = static_cast<char>(lowerOf(static_cast<unsigned char>(*text)));
}

// ---------------------------------------------------------------------------
// Writes

int writeProfileTextByName(unsigned sectionId, const char* key, const char* value, const char* file) {
    char section[kProfileNameSize];
    if (!key || !loadName(sectionId, section)) return 0;
    return writeClean(section, key, value, file);
}

int writeProfileText(unsigned sectionId, unsigned keyId, const char* value, const char* file) {
    char key[kProfileNameSize];
    if (!loadName(keyId, key)) return 0;
    return writeProfileTextByName(sectionId, key, value, file);
}

int writeProfileFixed(unsigned sectionId, unsigned keyId, unsigned valueId, const char* file) {
    char value[kProfileNameSize];
    if (!loadName(valueId, value)) return 0;
    return writeProfileText(sectionId, keyId, value, file);
}

int writeProfileNumber(unsigned sectionId, unsigned keyId, std::uint16_t value, const char* file) {
    char text[8];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
    return writeProfileText(sectionId, keyId, text, file);
}

int writeProfileNumberList(unsigned sectionId, unsigned keyId, std::span<const std::uint32_t> values,
                           const char* file) {
    char text[kProfileListSize];
    std::size_t used = 0;
    text[0] = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        char number[16];
        int n = std::snprintf(number, sizeof number, i ? ",%u" : "%u", static_cast<unsigned>(values[i]));
        // A list that would not read back whole is not written cut.
        if (used + static_cast<std::size_t>(n) >= sizeof text) return 0;
        std::memcpy(text + used, number, static_cast<std::size_t>(n) + 1);
        used += static_cast<std::size_t>(n);
    }
    return writeProfileText(sectionId, keyId, text, file);
}

// ---------------------------------------------------------------------------
// Reads

int readProfileTextByName(unsigned sectionId, const char* key, const char* defaultText, char* buffer,
                          int size, const char* file) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    char section[kProfileNameSize];
    if (!key || !loadName(sectionId, section)) return 0;
    return static_cast<int>(platform::profileGetString(section, key, orEmpty(defaultText), buffer,
                                                       static_cast<std::uint32_t>(size), file));
}

int readProfileText(unsigned sectionId, unsigned keyId, const char* defaultText, char* buffer, int size,
                    const char* file) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    char key[kProfileNameSize];
    if (!loadName(keyId, key)) return 0;
    return readProfileTextByName(sectionId, key, defaultText, buffer, size, file);
}

int readProfileTextFixedDefault(unsigned sectionId, unsigned keyId, unsigned defaultId, char* buffer,
                                int size, const char* file) {
    char fallback[kProfileNameSize];
    if (!defaultId || !loadName(defaultId, fallback)) fallback[0] = 0;
    return readProfileText(sectionId, keyId, fallback, buffer, size, file);
}

int readProfileBoolIn(unsigned keyId, const char* section, const char* file, int defaultValue) {
    char value[kProfileBoolSize];
    if (!readValue(keyId, section, value, sizeof value, file)) return 0;
    return boolOf(value, defaultValue);
}

int readProfileBool(unsigned keyId, unsigned sectionId, const char* file, int defaultValue) {
    char section[kProfileNameSize];
    if (!loadName(sectionId, section)) return 0;
    return readProfileBoolIn(keyId, section, file, defaultValue);
}

int readProfileThreeWay(unsigned keyId, const char* section, const char* file, unsigned valueId1,
                        unsigned valueId2, unsigned valueId3, int defaultValue) {
    char value[kProfileBoolSize];
    if (!readValue(keyId, section, value, sizeof value, file)) return 0;
    int answer = boolOf(value, -1);
    if (answer >= 0) return answer;
    if (equalsFixed(value, valueId1) || equalsFixed(value, valueId2) || equalsFixed(value, valueId3))
        return 2;
    return defaultValue;
}

int readProfileInt(unsigned sectionId, unsigned keyId, int defaultValue, const char* file) {
    char section[kProfileNameSize];
    char key[kProfileNameSize];
    if (!loadName(sectionId, section) || !loadName(keyId, key)) return defaultValue;
    return platform::profileGetInt(section, key, defaultValue, file);
}

int readProfileNumberList(unsigned sectionId, unsigned keyId, std::span<std::uint32_t> out,
                          std::uint32_t fill, const char* file) {
    for (std::uint32_t& v : out) v = fill;
    char text[kProfileListSize];
    if (readProfileText(sectionId, keyId, "", text, sizeof text, file) <= 0) return 0;
    std::size_t stored = 0;
    const char* p = text;
    while (*p && stored < out.size()) {
        while (*p == ' ' || *p == '\t') ++p;
        bool minus = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        std::uint32_t number = 0;
        for (; *p >= '0' && *p <= '9'; ++p) number = number * 10 + static_cast<std::uint32_t>(*p - '0');
        if (minus) number = 0u - number;
        if (number) out[stored++] = number;
        while (*p && *p != ',') ++p;
        if (*p == ',') ++p;
    }
    return static_cast<int>(stored);
}

int readProfileCharSet(unsigned keyId, const char* section, const char* file, int defaultValue) {
    char value[kProfileNameSize];
    if (!readValue(keyId, section, value, sizeof value, file)) return defaultValue;
    if (equalsFixed(value, IDS_VAL_OEM)) return 1;
    if (equalsFixed(value, IDS_VAL_ANSI)) return 0;
    return defaultValue;
}

int readProfileLineBreak(unsigned keyId, const char* section, const char* file, int defaultValue) {
    char value[kProfileNameSize];
    if (!readValue(keyId, section, value, sizeof value, file)) return defaultValue;
    if (equalsFixed(value, IDS_VAL_UNIX)) return 1;
    if (equalsFixed(value, IDS_VAL_DOS)) return 0;
    return defaultValue;
}

int readProfileRawValue(const char* section, const char* key, char* buffer, int size, const char* file) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    if (!section || !key) return 0;
    // The section's lines as written; a section too long for the buffer
    // simply does not show the key.
    constexpr std::uint32_t kSectionSize = 32768;
    char* lines = new (std::nothrow) char[kSectionSize];
    if (!lines) return 0;
    std::uint32_t n = platform::profileGetSection(section, lines, kSectionSize, file);
    // Key names are trimmed in the listing; compare with a trimmed key.
    while (*key == ' ' || *key == '\t') ++key;
    std::size_t keyLength = std::strlen(key);
    while (keyLength && (key[keyLength - 1] == ' ' || key[keyLength - 1] == '\t')) --keyLength;
    int found = 0;
    for (std::uint32_t pos = 0; pos < n && lines[pos];) {
        const char* line = lines + pos;
        std::size_t length = std::strlen(line);
        const char* eq = std::strchr(line, '=');
        if (eq && static_cast<std::size_t>(eq - line) == keyLength) {
            char name[kProfileNameSize];
            if (keyLength < sizeof name) {
                std::memcpy(name, line, keyLength);
                name[keyLength] = 0;
                char wanted[kProfileNameSize];
                std::memcpy(wanted, key, keyLength);
                wanted[keyLength] = 0;
                if (equalNoCase(name, wanted)) {
                    std::snprintf(buffer, static_cast<std::size_t>(size), "%s", eq + 1);
                    found = 1;
                    break;
                }
            }
        }
        pos += static_cast<std::uint32_t>(length) + 1;
    }
    delete[] lines;
    return found;
}
