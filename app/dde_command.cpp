#include "app/dde_command.h"

#include <cstring>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Cursor {
    std::string_view text;
    std::size_t at = 0;
    bool end() const { return at >= text.size(); }
    char peek() const { return end() ? '\0' : text[at]; }
    void skipBlanks() {
        while (!end() && blank(text[at])) ++at;
    }
    bool take(char c) {
        skipBlanks();
        if (peek() != c) return false;
        ++at;
        return true;
    }
};

// A command name: letters, compared in lower case.
bool readName(Cursor& c, char* out, std::size_t size) {
    c.skipBlanks();
    std::size_t n = 0;
    while (!c.end() && ((c.peek() >= 'a' && c.peek() <= 'z') || (c.peek() >= 'A' && c.peek() <= 'Z'))) {
        if (n + 1 >= size) return false;
        out[n++] = lower(c.peek());
        ++c.at;
    }
    out[n] = 0;
    return n > 0;
}

// The argument up to the closing parenthesis: a quoted text, or the bare
// text with its surrounding blanks removed.
bool readArgument(Cursor& c, std::string_view* out) {
    c.skipBlanks();
    char quote = c.peek();
    if (quote == '"' || quote == '\'') {
        ++c.at;
        std::size_t start = c.at;
        while (!c.end() && c.peek() != quote) ++c.at;
        if (c.end()) return false;
        *out = c.text.substr(start, c.at - start);
        ++c.at;
        return c.take(')');
    }
    std::size_t start = c.at;
    while (!c.end() && c.peek() != ')') ++c.at;
    if (c.end()) return false;
    std::string_view bare = c.text.substr(start, c.at - start);
    while (!bare.empty() && blank(bare.back())) bare.remove_suffix(1);
    *out = bare;
    ++c.at;
    return true;
}

}  // namespace

bool parseDdeCommand(std::string_view text, DdeRequest& out) {
    out.open = false;
    out.path[0] = 0;
    out.line = 0;
    Cursor c{text};
    int commands = 0;
    for (;;) {
        c.skipBlanks();
        if (c.end()) break;
        if (!c.take('[')) return false;
        char name[8];
        if (!readName(c, name, sizeof name)) return false;
        if (std::strcmp(name, "nop") == 0) {
            if (c.take('(') && !c.take(')')) return false;
        } else if (std::strcmp(name, "open") == 0) {
            std::string_view path;
            if (out.open || !c.take('(') || !readArgument(c, &path)) return false;
            if (path.empty() || path.size() >= sizeof out.path) return false;
            std::memcpy(out.path, path.data(), path.size());
            out.path[path.size()] = 0;
            out.open = true;
        } else if (std::strcmp(name, "line") == 0) {
            std::string_view number;
            if (!c.take('(') || !readArgument(c, &number) || number.empty()) return false;
            long long value = 0;
            for (char d : number) {
                if (d < '0' || d > '9') return false;
                value = value * 10 + (d - '0');
                if (value > 0x7FFFFFFF) return false;
            }
            if (value == 0) return false;
            out.line = static_cast<long>(value);
        } else {
            return false;
        }
        if (!c.take(']')) return false;
        ++commands;
    }
    return commands > 0;
}
