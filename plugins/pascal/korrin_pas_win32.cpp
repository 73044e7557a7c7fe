// korrin-pas.dll: the Pascal/Delphi parser plug-in. A thin shell over the
// portable parser: the file's bytes come from the block's file handle, the
// options from the language configuration through the profile API, the
// language from the editor's module (found through the block's frame
// window), the messages and segment names from this library's own string
// table.
#include <windows.h>

#include <cstdint>

#include "import/parser_interface.h"
#include "plugins/pascal/pascal_parser.h"
#include "plugins/plugin_shell_win32.h"

namespace {

HMODULE g_self = nullptr;

struct Shell {
    HANDLE file;
    int language;
};

std::int32_t readFile(void* context, char* buffer, std::int32_t size) {
    return plugin_shell::readHandle(static_cast<Shell*>(context)->file, buffer, size);
}

void oemToAnsi(void*, char* buffer, std::int32_t count) {
    OemToCharBuffA(buffer, buffer, static_cast<DWORD>(count));
}

int option(void*, const char* path, const char* key, char* buffer, int size) {
    if (!path || !*path || size <= 0) return 0;
    return static_cast<int>(
        GetPrivateProfileStringA("ParseOptions", key, "", buffer, static_cast<DWORD>(size), path));
}

int messageText(void* context, int number, char* buffer, int size) {
    return plugin_shell::messageText(g_self, static_cast<Shell*>(context)->language, number, buffer, size);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) std::uint32_t __stdcall korrin_parse(ParserBlock* block) {
    Shell shell{};
    if (block) shell.file = reinterpret_cast<HANDLE>(block->sourceFile);
    shell.language = plugin_shell::editorLanguage(plugin_shell::editorModule(block));
    PascalEnvironment env{readFile, oemToAnsi, option, messageText, &shell};
    return pascalParse(block, env);
}
