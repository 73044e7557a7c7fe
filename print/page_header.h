// The page header: strings 71 and 72 joined, their variables filled in,
// split at "%->%" into a part printed left-aligned and a part printed
// right-aligned against the right margin. The same variables name the
// structure list's print job (string 378).
#pragma once

struct HeaderFields {
    const char* application = "";  // %AP% %APPLICATION%
    const char* version = "";      // %VN% %VERSION%
    const char* fileName = "";     // %FN% %FILENAME%
    const char* pathName = "";     // %PN% %PATHNAME%
    const char* saveDate = "";     // %SD% %SAVEDATE%
    const char* saveTime = "";     // %ST% %SAVETIME%
    const char* printDate = "";    // %PD% %PRINTDATE%
    const char* printTime = "";    // %PT% %PRINTTIME%
};

constexpr int kHeaderPartSize = 512;

struct HeaderLine {
    char left[kHeaderPartSize];
    char right[kHeaderPartSize];  // empty when the pattern has no "%->%"
};

// `pattern` with its variables filled in (%##% is `page`, "%u"); a text
// between percent signs that names no variable stays as it is. Cut to
// size - 1 characters.
void expandHeader(const char* pattern, const HeaderFields& fields, unsigned page, char* out, int size);

// The header of page `page`: the pattern split at the first "%->%", each
// part filled in; blanks at the split are dropped.
HeaderLine pageHeaderLine(const char* pattern, const HeaderFields& fields, unsigned page);
