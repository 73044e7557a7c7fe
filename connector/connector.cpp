#include "connector/connector.h"

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void skipBlanks(std::string_view s, std::size_t& at) {
    while (at < s.size() && blank(s[at])) ++at;
}

std::string_view word(std::string_view s, std::size_t& at) {
    std::size_t start = at;
    while (at < s.size() && !blank(s[at])) ++at;
    return s.substr(start, at - start);
}

// A line number: decimal digits only, at most 2^31-1; anything else is 0.
std::uint32_t lineNumber(std::string_view w) {
    if (w.empty() || w.size() > 10) return 0;
    std::uint64_t value = 0;
    for (char c : w) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value > 0x7FFFFFFF ? 0 : static_cast<std::uint32_t>(value);
}

bool isQuoted(std::string_view s) {
    return s.size() >= 2 && s.front() == '"' && s.back() == '"';
}

}  // namespace

bool splitConnArguments(std::string_view line, ConnArguments& out) {
    out = ConnArguments{};
    std::size_t at = 0;
    skipBlanks(line, at);
    out.fileType = std::string(word(line, at));
    skipBlanks(line, at);
    if (at < line.size() && line[at] == '"') {
        std::size_t close = line.find('"', at + 1);
        std::size_t end = close == std::string_view::npos ? line.size() : close + 1;
        out.fileName = std::string(line.substr(at, end - at));
        at = end;
    } else {
        out.fileName = std::string(word(line, at));
    }
    skipBlanks(line, at);
    out.line = lineNumber(word(line, at));
    if (at < line.size()) out.rest = std::string(line.substr(at));
    std::string_view name = out.fileName;
    if (!name.empty() && name.front() == '"')
        name = isQuoted(name) ? name.substr(1, name.size() - 2) : name.substr(1);
    return !out.fileType.empty() && !name.empty();
}

bool wantsSyntax(std::string_view line) {
    std::size_t at = 0;
    skipBlanks(line, at);
    std::string_view w = word(line, at);
    skipBlanks(line, at);
    return w.empty() || ((w == "/?" || w == "-?") && at == line.size());
}

std::string syntaxText(std::string_view programFileName) {
    return "Syntax:\r\n\r\n" + std::string(programFileName) +
           "  <filetype>  \"<filename>\"  [<linenumber>  [<additional parameters>]]";
}

std::string quotedFileName(std::string_view fileName) {
    if (isQuoted(fileName)) return std::string(fileName);
    return "\"" + std::string(fileName) + "\"";
}

std::string fileExtension(std::string_view fileName) {
    if (isQuoted(fileName)) fileName = fileName.substr(1, fileName.size() - 2);
    std::size_t dot = fileName.find_last_of('.');
    std::size_t slash = fileName.find_last_of("\\/:");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
    return std::string(fileName.substr(dot));
}

std::string ddeExecuteText(std::string_view fileName, std::uint32_t line) {
    std::string text = "[open(" + quotedFileName(fileName) + ")]";
    if (line) text += "[line(" + std::to_string(line) + ")]";
    return text;
}

std::string applicationOfCommand(std::string_view openCommand) {
    std::size_t at = 0;
    skipBlanks(openCommand, at);
    // A quoted program runs to its closing quote (its path may hold
    // blanks), a bare one to the first blank.
    const bool quoted = at < openCommand.size() && openCommand[at] == '"';
    if (quoted) ++at;
    std::size_t end = at;
    while (end < openCommand.size() && openCommand[end] != '"' && (quoted || !blank(openCommand[end]))) ++end;
    std::string_view program = openCommand.substr(at, end - at);
    std::size_t slash = program.find_last_of("\\/:");
    if (slash != std::string_view::npos) program = program.substr(slash + 1);
    std::size_t dot = program.find_last_of('.');
    if (dot != std::string_view::npos) program = program.substr(0, dot);
    return std::string(program);
}

std::string startCommandLine(std::string_view openCommand, const ConnArguments& args) {
    std::string command(openCommand);
    if (command.find("%1") == std::string::npos) command += " \"%1\"";
    const std::string file = quotedFileName(args.fileName);
    std::size_t at = command.find("%1");
    std::size_t from = at, to = at + 2;
    if (from > 0 && command[from - 1] == '"' && to < command.size() && command[to] == '"') {
        --from;
        ++to;
    }
    command.replace(from, to - from, file);
    if (args.line) command += " /L=" + std::to_string(args.line);
    command += args.rest.empty() || blank(args.rest[0]) ? args.rest : " " + args.rest;
    return command;
}
