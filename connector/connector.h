// korrin-conn: what an IDE's call asks for, and the texts the connector
// sends or starts. The program itself (connector_win32.cpp) finds the
// editor's DDE service through the registry and talks to it.
//
// Portable: text work only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The command line "<filetype> <filename> [<linenumber> [<further>]]".
struct ConnArguments {
    std::string fileType;    // up to the first blank
    std::string fileName;    // as given: quoted (quotes kept) or up to the next blank
    std::uint32_t line = 0;  // 0 = none (also for a word that is no number)
    std::string rest;        // the further parameters, with their leading blank
};

// Splits the command line. False when there is no file type or no file
// name.
bool splitConnArguments(std::string_view line, ConnArguments& out);

// "-?" or "/?" alone (blanks around it allowed), or nothing at all.
bool wantsSyntax(std::string_view line);
// "Syntax:\r\n\r\n<program>  <filetype>  \"<filename>\"  [<linenumber>  [<additional parameters>]]".
std::string syntaxText(std::string_view programFileName);

// The file name between quotes, unless it already stands in them.
std::string quotedFileName(std::string_view fileName);

// The extension of the file name with its dot (".vrd"), "" when it has none.
std::string fileExtension(std::string_view fileName);

// The DDE execute text: [open("file")], and [line(n)] when `line` is not 0.
std::string ddeExecuteText(std::string_view fileName, std::uint32_t line);

// The DDE application of a registered open command when the type names
// none: the program's base name without directory and extension
// ("\"C:\\x\\korrin.exe\" \"%1\"" gives "korrin").
std::string applicationOfCommand(std::string_view openCommand);

// The command line that starts the registered open command with the file:
// %1 (with the quotes around it) becomes the quoted file name, " \"%1\"" is
// appended first when the command has no %1; then " /L=<n>" when `line` is
// not 0, then the further parameters.
std::string startCommandLine(std::string_view openCommand, const ConnArguments& args);
