// korrin-imp.dll: the transfer-file import plug-in. A thin shell over the
// portable reader: the file's bytes come from the block's file handle
// (converted from OEM when the block says so), the keyword texts and the
// language from the editor's module (found through the block's frame
// window), the messages from this library's own string table.
#include <windows.h>

#include <cstdint>

#include "import/parser_interface.h"
#include "plugins/plugin_shell_win32.h"
#include "plugins/transfer/transfer_reader.h"

namespace {

HMODULE g_self = nullptr;

struct Shell {
    HANDLE file;
    bool oem;
    HMODULE editor;
    int language;
};

std::int32_t readFile(void* context, char* buffer, std::int32_t size) {
    auto* shell = static_cast<Shell*>(context);
    const std::int32_t got = plugin_shell::readHandle(shell->file, buffer, size);
    if (got > 0 && shell->oem) OemToCharBuffA(buffer, buffer, static_cast<DWORD>(got));
    return got;
}

int keywordText(void* context, int index, char* buffer, int size) {
    auto* shell = static_cast<Shell*>(context);
    const int n =
        LoadStringA(shell->editor, kTransferKeywordFirstId + static_cast<UINT>(index), buffer, size);
    return n > 0 ? n : 0;
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
    if (block) {
        shell.file = reinterpret_cast<HANDLE>(block->sourceFile);
        shell.oem = block->charSet == kParseCharSetOem;
    }
    shell.editor = plugin_shell::editorModule(block);
    shell.language = plugin_shell::editorLanguage(shell.editor);
    TransferEnvironment env{readFile, keywordText, messageText, &shell};
    return transferParse(block, env);
}
