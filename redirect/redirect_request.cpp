#include "redirect/redirect_request.h"

#include <cstdlib>

#include "redirect/redirect_protocol.h"

namespace redirect {

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string readText(EnvReader read, const char* name) {
    std::string value;
    if (!read || !read(name, value)) return std::string();
    return trimmed(value);
}

int readNumber(EnvReader read, const char* name, int fallback) {
    const std::string text = readText(read, name);
    if (text.empty()) return fallback;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end || value < -1000000 || value > 1000000) return fallback;
    return static_cast<int>(value);
}

std::string fileName(EnvReader read, const char* name) {
    std::string text = readText(read, name);
    if (text.size() >= kFileNameSize) text.resize(kFileNameSize - 1);
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c == '/' ? '\\' : c;
}

}  // namespace

Request readRequest(EnvReader read) {
    Request request;
    request.language = readNumber(read, kLang, kGerman);
    if (request.language != kEnglish) request.language = kGerman;
    request.showWindow = readNumber(read, kShowWnd, 1);
    request.stdIn = fileName(read, kStdIn);
    request.stdOut = fileName(read, kStdOut);
    request.stdErr = fileName(read, kStdErr);
    request.programName = readText(read, kProgName);
    request.commandLine = readText(read, kCmdLine);
    return request;
}

std::string programFileOf(std::string_view commandLine) {
    const std::size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::string();
    commandLine.remove_prefix(start);
    if (commandLine[0] == '"') {
        const std::size_t close = commandLine.find('"', 1);
        return std::string(commandLine.substr(1, close == std::string_view::npos ? close : close - 1));
    }
    return std::string(commandLine.substr(0, commandLine.find_first_of(" \t")));
}

ExecutableKind executableKind(HeaderReader read, void* context) {
    unsigned char header[64];
    if (!read || read(context, 0, header, sizeof header) != sizeof header) return ExecutableKind::unknown;
    if (header[0] != 'M' || header[1] != 'Z') return ExecutableKind::unknown;
    const unsigned relocations = header[24] | (header[25] << 8);
    if (relocations < 64) return ExecutableKind::dos;
    const std::uint32_t at =
        static_cast<std::uint32_t>(header[60]) | (static_cast<std::uint32_t>(header[61]) << 8) |
        (static_cast<std::uint32_t>(header[62]) << 16) | (static_cast<std::uint32_t>(header[63]) << 24);
    unsigned char signature[4] = {};
    const std::size_t n = read(context, at, signature, sizeof signature);
    if (n >= 2 && signature[0] == 'N' && signature[1] == 'E') return ExecutableKind::ne;
    if (n >= 2 && signature[0] == 'L' && signature[1] == 'E') return ExecutableKind::le;
    if (n >= 2 && signature[0] == 'L' && signature[1] == 'X') return ExecutableKind::lx;
    if (n == 4 && signature[0] == 'P' && signature[1] == 'E' && !signature[2] && !signature[3])
        return ExecutableKind::pe;
    return ExecutableKind::unknown;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

}  // namespace redirect
