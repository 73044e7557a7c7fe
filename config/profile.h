// Profile access by string-table numbers: every section, key and fixed value
// is the number of a text of the string table (at most 79 characters). The
// same operations serve the language configuration and the editor's settings
// file. `file` is a path; an empty path (or null) is the system profile.
//
// An operation whose section or key text cannot be loaded fails: writes,
// text reads and boolean reads return 0, the other reads with a default
// return the default.
#pragma once

#include <cstdint>
#include <span>

constexpr int kProfileNameSize = 80;    // section, key and fixed texts
constexpr int kProfileBoolSize = 20;    // values read as booleans: 19 characters
constexpr int kProfileListSize = 4096;  // number lists: 4095 characters

// Writes. Each returns the platform's result (non-zero = written). Line
// breaks in a value are written as blanks so that a value cannot end its
// line and start another key or section.
int writeProfileTextByName(unsigned sectionId, const char* key, const char* value, const char* file);
int writeProfileText(unsigned sectionId, unsigned keyId, const char* value, const char* file);
int writeProfileFixed(unsigned sectionId, unsigned keyId, unsigned valueId, const char* file);
int writeProfileNumber(unsigned sectionId, unsigned keyId, std::uint16_t value, const char* file);
// The numbers in decimal joined by ",".
int writeProfileNumberList(unsigned sectionId, unsigned keyId, std::span<const std::uint32_t> values,
                           const char* file);

// Text reads: copy the value (or `defaultText`, null = empty) into buffer,
// cut to size-1 characters; return the length read.
int readProfileTextByName(unsigned sectionId, const char* key, const char* defaultText, char* buffer,
                          int size, const char* file);
int readProfileText(unsigned sectionId, unsigned keyId, const char* defaultText, char* buffer, int size,
                    const char* file);
// The default is string `defaultId`; an id without a text gives "".
int readProfileTextFixedDefault(unsigned sectionId, unsigned keyId, unsigned defaultId, char* buffer,
                                int size, const char* file);

// Booleans: "yes", "true", "1" read as 1 and "no", "false", "0" as 0, in any
// case; anything else (an empty value, a value of more than 19 characters)
// gives `defaultValue`.
int readProfileBool(unsigned keyId, unsigned sectionId, const char* file, int defaultValue);
int readProfileBoolIn(unsigned keyId, const char* section, const char* file, int defaultValue);
// As a boolean, and 2 when the value equals (in any case) the text of one of
// the further ids (0 = none), as for "ask".
int readProfileThreeWay(unsigned keyId, const char* section, const char* file, unsigned valueId1,
                        unsigned valueId2, unsigned valueId3, int defaultValue);
// The platform's integer reading (GetPrivateProfileInt).
int readProfileInt(unsigned sectionId, unsigned keyId, int defaultValue, const char* file);
// Fills `out` with `fill`, then stores each non-zero decimal number of the
// comma-separated value in turn until `out` is full. Returns the number of
// values stored.
int readProfileNumberList(unsigned sectionId, unsigned keyId, std::span<std::uint32_t> out,
                          std::uint32_t fill, const char* file);
// 1 for "OEM", 0 for "ANSI" (any case), else `defaultValue`.
int readProfileCharSet(unsigned keyId, const char* section, const char* file, int defaultValue);
// 1 for "UNIX", 0 for "DOS" (any case), else `defaultValue`.
int readProfileLineBreak(unsigned keyId, const char* section, const char* file, int defaultValue);

// The value of a key exactly as written in the file (enclosing quotes kept),
// for telling a value of two apostrophes from an empty one. Returns 1 and
// copies it when the key is present with a value, else 0.
int readProfileRawValue(const char* section, const char* key, char* buffer, int size, const char* file);

// Helpers shared with the configuration readers.
// Case-insensitive comparison of two texts (code page 1252 letters).
bool equalNoCase(const char* a, const char* b);
// Upper- and lower-cases in place (code page 1252 letters).
void upperCase(char* text);
void lowerCase(char* text);
