// A console program the tool tests run, directly or through korrin-re:
//   echo <words...>         the words on standard output
//   streams <n> <code>      n lines each on standard output and standard
//                           error, alternating, then exit code <code>
//   stdin                   standard input copied to standard output
//   compile <source>        a compiler's messages: "<name>(<line>,<column>)
//                           Error: ..." for each line of the source holding
//                           writeln; exit code 1 when there are any
//   env <file>              the KorrinRedir* variables it sees, or "none",
//                           into the file
//   sleep <ms>              waits
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "echo") {
        for (int i = 2; i < argc; ++i) std::printf("%s%s", i > 2 ? " " : "", argv[i]);
        std::printf("\n");
        return 0;
    }
    if (mode == "streams" && argc > 3) {
        const int n = std::atoi(argv[2]);
        for (int i = 0; i < n; ++i) {
            std::fprintf(stdout, "out %d\n", i);
            std::fflush(stdout);
            std::fprintf(stderr, "err %d\n", i);
            std::fflush(stderr);
        }
        return std::atoi(argv[3]);
    }
    if (mode == "stdin") {
        int c;
        while ((c = std::getchar()) != EOF) std::putchar(c);
        return 0;
    }
    if (mode == "compile" && argc > 2) {
        std::ifstream source(argv[2]);
        if (!source) {
            std::fprintf(stderr, "Fatal: cannot open %s\n", argv[2]);
            return 2;
        }
        std::string name = argv[2];
        name = name.substr(name.find_last_of("\\/:") + 1);
        std::printf("Test compiler for %s\n", name.c_str());
        std::string line;
        int errors = 0;
        for (int number = 1; std::getline(source, line); ++number) {
            const std::size_t at = line.find("writeln");
            if (at == std::string::npos) continue;
            std::printf("%s(%d,%d) Error: writeln is not allowed here\n", name.c_str(), number,
                        static_cast<int>(at) + 1);
            ++errors;
        }
        std::printf("%d error(s)\n", errors);
        return errors ? 1 : 0;
    }
    if (mode == "env" && argc > 2) {
        std::string seen;
        for (const char* name :
             {"KorrinRedirProgName", "KorrinRedirCmdLine", "KorrinRedirStdIn", "KorrinRedirStdOut",
              "KorrinRedirStdErr", "KorrinRedirLang", "KorrinRedirShowWnd"}) {
            char value[1024];
            SetLastError(0);
            if (GetEnvironmentVariableA(name, value, sizeof value) ||
                GetLastError() != ERROR_ENVVAR_NOT_FOUND)
                seen += std::string(name) + "\n";
        }
        std::ofstream(argv[2], std::ios::binary) << (seen.empty() ? "none" : seen);
        return 0;
    }
    if (mode == "sleep" && argc > 2) {
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return 0;
    }
    std::fprintf(stderr, "test_tool: unknown mode %s\n", mode.c_str());
    return 99;
}
