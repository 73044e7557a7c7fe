// Private-profile (INI) files on POSIX, following what the Win32 profile
// calls do as Wine 8 implements them (the reference the tests check):
//
// - A file is read whole (again only when its identity, size or time stamps
//   changed), split into lines at LF (at CR when the rest of the file holds
//   no LF); every line is trimmed of blanks
//   (space, tab, LF, VT, FF, CR and Ctrl-Z). A UTF-8 byte-order mark is
//   skipped and written back.
// - "[name]" up to the last ']' starts a section (the name trimmed; text
//   after the ']' is ignored); any other non-empty line is a key: the name up
//   to the first '=', trimmed, and the value after it, trimmed. A line
//   without '=' is a key without a value, which reads as absent. Lines
//   before the first section belong to a section without a name. A line
//   starting with ';' is a comment: it can be read by its full name but is
//   left out of key lists and section listings.
// - Names compare without regard to case (code page 1252 letters); only the
//   first section of a name and the first key of a name count.
// - Reading strips one pair of matching quotes (' or ") around a value, and
//   around the default; the default also loses its trailing blanks.
// - Writing rewrites the whole file as "[section]" and "key=value" lines
//   ending in CR LF; blank lines are not kept; a new section or key goes at
//   the end; a value is written without its leading blanks. The file is written to a temporary name beside it
//   and renamed over it, so a failed write leaves the old file whole.
// - A missing file reads as an empty one; a file in a missing directory, or
//   one that cannot be read, gives the default as it is (no quote stripping).
//
// The Windows directory stand-in, where names without a directory and the
// system profile "win.ini" live, is $KORRIN_WINDIR when set, otherwise
// $XDG_CONFIG_HOME/korrin or $HOME/.config/korrin; it is created when a file
// in it is written.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

struct Key {
    std::string name;
    std::string value;
    bool hasValue;
};

struct Section {
    std::string name;
    std::vector<Key> keys;
};

struct Profile {
    std::vector<Section> sections;  // [0]: the lines before the first section
    bool utf8Mark = false;
};

bool isBlank(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) {
    return trimRight(trimLeft(s));
}

// Names and values end at an embedded NUL, as they do for the C strings of
// the Win32 calls.
std::string_view cutAtNul(std::string_view s) {
    std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

unsigned char foldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
    if (c == 0x9F) return 0xFF;
    return c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void parse(std::string_view text, Profile& profile) {
    profile.sections.clear();
    profile.sections.push_back(Section{});
    profile.utf8Mark = text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF";
    if (profile.utf8Mark) text.remove_prefix(3);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        std::size_t lineEnd = text.find('\n', start);
        if (lineEnd == std::string_view::npos) lineEnd = text.find('\r', start);
        pos = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        std::string_view line = trim(text.substr(start, pos - start));
        if (line.empty()) continue;
        if (line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                Section section;
                section.name = trim(cutAtNul(line.substr(1, close - 1)));
                profile.sections.push_back(std::move(section));
                continue;
            }
        }
        std::string_view name = line;
        std::string_view value;
        bool hasValue = false;
        std::size_t eq = line.find('=');
        if (eq != std::string_view::npos) {
            name = line.substr(0, eq);
            value = trimLeft(line.substr(eq + 1));
            hasValue = true;
        }
        // Names and values end at an embedded NUL; what is left is trimmed
        // again, so that a rewritten file reads the same.
        name = trimRight(cutAtNul(name));
        value = trimRight(cutAtNul(value));
        if (name.empty() && !hasValue) continue;  // nothing anyone can find
        // Like the reference: a nameless line directly after another one is
        // dropped.
        std::vector<Key>& keys = profile.sections.back().keys;
        if (!name.empty() || keys.empty() || !keys.back().name.empty())
            keys.push_back(Key{std::string(name), std::string(value), hasValue});
    }
}

// ---------------------------------------------------------------------------
// Paths

bool makeDirectory(const char* path) {
    char buffer[kMaxPath];
    std::snprintf(buffer, sizeof buffer, "%s", path);
    for (char* p = buffer + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = 0;
        mkdir(buffer, 0777);
        *p = '/';
    }
    return mkdir(buffer, 0777) == 0 || errno == EEXIST;
}

bool windowsDirectoryName(char out[kMaxPath]) {
    const char* dir = getenv("KORRIN_WINDIR");
    int n;
    if (dir && *dir) {
        n = std::snprintf(out, kMaxPath, "%s", dir);
    } else if ((dir = getenv("XDG_CONFIG_HOME")) && *dir) {
        n = std::snprintf(out, kMaxPath, "%s/korrin", dir);
    } else if ((dir = getenv("HOME")) && *dir) {
        n = std::snprintf(out, kMaxPath, "%s/.config/korrin", dir);
    } else {
        n = std::snprintf(out, kMaxPath, "/tmp/korrin-windows");
    }
    if (n <= 0 || n >= static_cast<int>(kMaxPath)) {
        out[0] = 0;
        return false;
    }
    while (n > 1 && out[n - 1] == '/') out[--n] = 0;
    return true;
}

// The file a profile path names; false when the name does not fit.
bool resolve(const char* path, bool forWriting, char out[kMaxPath]) {
    const char* name = path && *path ? path : "win.ini";
    if (std::strchr(name, '/') || std::strchr(name, '\\')) {
        if (std::strlen(name) >= kMaxPath) return false;
        std::snprintf(out, kMaxPath, "%s", name);
        return true;
    }
    char dir[kMaxPath];
    if (!windowsDirectoryName(dir)) return false;
    if (forWriting) makeDirectory(dir);
    int n = std::snprintf(out, kMaxPath, "%s/%s", dir, name);
    return n > 0 && n < static_cast<int>(kMaxPath);
}

bool parentExists(const char* file) {
    char dir[kMaxPath];
    std::snprintf(dir, sizeof dir, "%s", file);
    char* slash = std::strrchr(dir, '/');
    if (!slash) return true;
    if (slash == dir) return true;
    *slash = 0;
    struct stat st;
    return stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

// The last file read, kept while its identity, size and time stamps stay
// the same (the reference keeps recently used files the same way).
struct CachedProfile {
    bool valid = false;
    std::string file;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};
    struct timespec changed = {};
    Profile profile;
};

CachedProfile g_cache;

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

const Profile kEmptyProfile = [] {
    Profile p;
    p.sections.assign(1, Section{});
    return p;
}();

// Reads the profile: an empty one for a missing file, null when the file
// cannot be read. The result stays valid until the next call.
const Profile* load(const char* file) {
    int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT && parentExists(file) ? &kEmptyProfile : nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    if (g_cache.valid && g_cache.file == file && g_cache.device == st.st_dev && g_cache.inode == st.st_ino &&
        g_cache.size == st.st_size && sameTime(g_cache.modified, st.st_mtim) &&
        sameTime(g_cache.changed, st.st_ctim)) {
        close(fd);
        return &g_cache.profile;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return nullptr;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    g_cache.valid = false;
    parse(text, g_cache.profile);
    g_cache.file = file;
    g_cache.device = st.st_dev;
    g_cache.inode = st.st_ino;
    g_cache.size = st.st_size;
    g_cache.modified = st.st_mtim;
    g_cache.changed = st.st_ctim;
    g_cache.valid = true;
    return &g_cache.profile;
}

bool save(const char* file, const Profile& profile) {
    std::string text;
    if (profile.utf8Mark) text = "\xEF\xBB\xBF";
    for (const Section& section : profile.sections) {
        if (!section.name.empty()) {
            text += '[';
            text += section.name;
            text += "]\r\n";
        }
        for (const Key& key : section.keys) {
            text += key.name;
            if (key.hasValue) {
                text += '=';
                text += key.value;
            }
            text += "\r\n";
        }
    }
    char temp[kMaxPath + 16];
    int n = std::snprintf(temp, sizeof temp, "%s.XXXXXX", file);
    if (n <= 0 || n >= static_cast<int>(sizeof temp)) return false;
    int fd = mkstemp(temp);
    if (fd < 0) return false;
    struct stat st;
    if (stat(file, &st) == 0) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
    if (close(fd) != 0) ok = false;
    g_cache.valid = false;
    if (ok && rename(temp, file) == 0) return true;
    unlink(temp);
    return false;
}

template <typename P>
auto findSection(P& profile, std::string_view name) -> decltype(&profile.sections[0]) {
    name = trim(name);
    for (auto& section : profile.sections)
        if (sameName(section.name, name)) return &section;
    return nullptr;
}

template <typename S>
auto findKey(S& section, std::string_view name) -> decltype(&section.keys[0]) {
    name = trim(name);
    for (auto& key : section.keys)
        if (sameName(key.name, name)) return &key;
    return nullptr;
}

// Copies at most size-1 characters and a NUL; returns the length copied.
std::size_t copyCut(char* buffer, std::uint32_t size, std::string_view text) {
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return n;
}

// A value or default as a read hands it out: without one pair of enclosing
// quotes.
std::uint32_t copyEntry(char* buffer, std::uint32_t size, std::string_view value) {
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return static_cast<std::uint32_t>(copyCut(buffer, size, value));
}

// The NUL-separated list of a section's keys (with values: "key=value"
// lines), cut like the reference when the buffer is short.
std::uint32_t listSection(const Section& section, char* buffer, std::uint32_t size, bool withValues) {
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::uint32_t left = size;
    char* out = buffer;
    for (const Key& key : section.keys) {
        if (left <= 2) break;
        if (key.name.empty() && !key.hasValue) continue;
        if (!key.name.empty() && key.name.front() == ';') continue;
        if (!withValues && !key.hasValue) continue;
        std::size_t n = copyCut(out, left - 1, key.name);
        left -= static_cast<std::uint32_t>(n + 1);
        out += n + 1;
        if (left < 2) break;
        if (withValues && key.hasValue) {
            out[-1] = '=';
            n = copyCut(out, left - 1, key.value);
            left -= static_cast<std::uint32_t>(n + 1);
            out += n + 1;
        }
    }
    *out = 0;
    if (left <= 1) {
        if (out > buffer) out[-1] = 0;
        return size - 2;
    }
    return size - left;
}

std::uint32_t listSectionNames(const Profile& profile, char* buffer, std::uint32_t size) {
    if (size == 1) {
        buffer[0] = 0;
        return 0;
    }
    std::uint32_t left = size - 1;
    char* out = buffer;
    for (const Section& section : profile.sections) {
        if (section.name.empty()) continue;
        std::size_t entry = section.name.size() + 1;
        if (entry >= left) {
            std::memcpy(out, section.name.data(), left - 1);
            out += left - 1;
            *out++ = 0;
            *out = 0;
            return size - 2;
        }
        std::memcpy(out, section.name.data(), entry - 1);
        out[entry - 1] = 0;
        out += entry;
        left -= static_cast<std::uint32_t>(entry);
    }
    *out = 0;
    return static_cast<std::uint32_t>(out - buffer);
}

// RtlUnicodeStringToInteger with base 0, as GetPrivateProfileInt uses it.
int toInteger(const char* text) {
    const char* p = text;
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    bool minus = false;
    if (*p == '+') {
        ++p;
    } else if (*p == '-') {
        minus = true;
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && p[1] == 'b')
        base = 2, p += 2;
    else if (p[0] == '0' && p[1] == 'o')
        base = 8, p += 2;
    else if (p[0] == '0' && p[1] == 'x')
        base = 16, p += 2;
    std::uint32_t total = 0;
    for (; *p; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9')
            digit = static_cast<unsigned>(*p - '0');
        else if (*p >= 'A' && *p <= 'Z')
            digit = static_cast<unsigned>(*p - 'A' + 10);
        else if (*p >= 'a' && *p <= 'z')
            digit = static_cast<unsigned>(*p - 'a' + 10);
        else
            break;
        if (digit >= base) break;
        total = total * base + digit;
    }
    if (minus) total = 0u - total;
    return static_cast<int>(total);
}

}  // namespace

std::uint32_t profileGetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                               std::uint32_t size, const char* path) {
    if (!buffer || size == 0) return 0;
    std::string_view fallback = defaultValue ? defaultValue : "";
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);
    char file[kMaxPath];
    const Profile* profile = resolve(path, false, file) ? load(file) : nullptr;
    if (!profile) return static_cast<std::uint32_t>(copyCut(buffer, size, fallback));
    if (!section) return listSectionNames(*profile, buffer, size);
    if (key) {
        const Section* s = findSection(*profile, section);
        const Key* k = s ? findKey(*s, key) : nullptr;
        return copyEntry(buffer, size, k && k->hasValue ? std::string_view(k->value) : fallback);
    }
    if (*section) {
        const Section* s = findSection(*profile, section);
        std::uint32_t n = 0;
        buffer[0] = 0;
        if (s) n = listSection(*s, buffer, size, false);
        if (!buffer[0]) n = copyEntry(buffer, size, fallback);
        return n;
    }
    buffer[0] = 0;
    return 0;
}

int profileGetInt(const char* section, const char* key, int defaultValue, const char* path) {
    char buffer[30];
    if (profileGetString(section, key, "", buffer, sizeof buffer, path) == 0) return defaultValue;
    return toInteger(buffer);
}

std::uint32_t profileGetSection(const char* section, char* buffer, std::uint32_t size, const char* path) {
    if (!section || !buffer || size == 0) return 0;
    char file[kMaxPath];
    buffer[0] = 0;
    if (size > 1) buffer[1] = 0;
    const Profile* profile = resolve(path, false, file) ? load(file) : nullptr;
    if (!profile) return 0;
    const Section* s = findSection(*profile, section);
    return s ? listSection(*s, buffer, size, true) : 0;
}

bool profileWriteString(const char* section, const char* key, const char* value, const char* path) {
    if (!section && !key && !value) return false;  // the "flush" call
    char file[kMaxPath];
    const Profile* current = resolve(path, true, file) ? load(file) : nullptr;
    if (!current) return false;
    if (!section) return false;
    Profile profile = *current;
    bool changed = false;
    if (!key) {
        std::string_view name = trim(section);
        for (auto it = profile.sections.begin(); it != profile.sections.end(); ++it) {
            if (sameName(it->name, name)) {
                profile.sections.erase(it);
                changed = true;
                break;
            }
        }
    } else if (!value) {
        std::string_view sectionName = trim(section);
        std::string_view keyName = trim(key);
        for (Section& s : profile.sections) {
            if (!sameName(s.name, sectionName)) continue;
            for (auto it = s.keys.begin(); it != s.keys.end(); ++it) {
                if (sameName(it->name, keyName)) {
                    s.keys.erase(it);
                    changed = true;
                    break;
                }
            }
            if (changed) break;
        }
    } else {
        Section* s = findSection(profile, section);
        if (!s) {
            profile.sections.push_back(Section{std::string(trim(section)), {}});
            s = &profile.sections.back();
        }
        Key* k = findKey(*s, key);
        if (!k) {
            s->keys.push_back(Key{std::string(trim(key)), std::string(), false});
            k = &s->keys.back();
        }
        // Leading blanks go; trailing ones are written and trimmed on reading.
        std::string_view text = trimLeft(value);
        if (!k->hasValue || k->value != text) {
            k->value = std::string(text);
            k->hasValue = true;
            changed = true;
        }
    }
    return !changed || save(file, profile);
}

bool windowsDirectory(char out[kMaxPath]) {
    if (!windowsDirectoryName(out)) return false;
    makeDirectory(out);
    return true;
}

}  // namespace platform
