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

namespace {

HMODULE g_self = nullptr;

struct Shell {
    HANDLE file;
    int language;
};

std::int32_t readFile(void* context, char* buffer, std::int32_t size) {
    auto* shell = static_cast<Shell*>(context);
    DWORD got = 0;
    if (!ReadFile(shell->file, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<std::int32_t>(got);
}

void oemToAnsi(void*, char* buffer, std::int32_t count) {
    OemToCharBuffA(buffer, buffer, static_cast<DWORD>(count));
}

int option(void*, const char* path, const char* key, char* buffer, int size) {
    if (!path || !*path || size <= 0) return 0;
    return static_cast<int>(GetPrivateProfileStringA("ParseOptions", key, "", buffer, static_cast<DWORD>(size), path));
}

int messageText(void* context, int number, char* buffer, int size) {
    auto* shell = static_cast<Shell*>(context);
    int n = LoadStringA(g_self, static_cast<UINT>(number + shell->language), buffer, size);
    if (n <= 0) n = LoadStringA(g_self, static_cast<UINT>(number + kLanguageEnglish), buffer, size);
    if (n <= 0 && size > 0) buffer[0] = 0;
    return n > 0 ? n : 0;
}

// The editor's language: its number resource (44 English, 49 German).
int editorLanguage(HMODULE editor) {
    HRSRC found = FindResourceA(editor, MAKEINTRESOURCEA(kLanguageResourceId), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found || SizeofResource(editor, found) < 4) return kLanguageEnglish;
    HGLOBAL loaded = LoadResource(editor, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return kLanguageEnglish;
    std::int32_t language = 0;
    CopyMemory(&language, data, sizeof language);
    return language == kLanguageGerman ? kLanguageGerman : kLanguageEnglish;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) std::uint32_t __stdcall korrin_parse(ParserBlock* block) {
    Shell shell{};
    HMODULE editor = nullptr;
    if (block) {
        shell.file = reinterpret_cast<HANDLE>(block->sourceFile);
        HWND frame = static_cast<HWND>(block->frameWindow);
        editor = frame && IsWindow(frame) ? reinterpret_cast<HMODULE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE))
                                          : nullptr;
    }
    if (!editor) editor = GetModuleHandleA(nullptr);
    shell.language = editorLanguage(editor);
    PascalEnvironment env{readFile, oemToAnsi, option, messageText, &shell};
    return pascalParse(block, env);
}
