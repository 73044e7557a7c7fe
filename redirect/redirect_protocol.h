// The request the editor hands korrin-re: seven environment variables,
// set in the editor's environment just for the start of korrin-re.
#pragma once

namespace redirect {

constexpr const char* kProgName = "KorrinRedirProgName";  // the program's name in the list
constexpr const char* kCmdLine = "KorrinRedirCmdLine";    // the command line to run
constexpr const char* kStdIn = "KorrinRedirStdIn";        // files; empty: not redirected
constexpr const char* kStdOut = "KorrinRedirStdOut";
constexpr const char* kStdErr = "KorrinRedirStdErr";
constexpr const char* kLang = "KorrinRedirLang";        // 44 English, 49 German
constexpr const char* kShowWnd = "KorrinRedirShowWnd";  // "1" normal, "2" minimised

constexpr const char* kVariables[] = {kProgName, kCmdLine, kStdIn, kStdOut, kStdErr, kLang, kShowWnd};

constexpr const char* kProgram = "korrin-re.exe";

constexpr int kEnglish = 44;
constexpr int kGerman = 49;

}  // namespace redirect
