// korrin-imp's reader over the platform layer and the native text tables.
#include "plugins/transfer/transfer_native.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

int g_language = kLanguageEnglish;
void* (*g_allocate)(std::size_t) = nullptr;
void (*g_release)(void*) = nullptr;

struct FileInput {
    platform::FileHandle handle;
    bool oem;
};

std::int32_t readHandle(void* context, char* buffer, std::int32_t size) {
    auto* in = static_cast<FileInput*>(context);
    const std::int32_t n = platform::readFile(in->handle, buffer, static_cast<std::uint32_t>(size));
    if (n > 0 && in->oem) platform::oemToAnsi(buffer, static_cast<std::size_t>(n));
    return n;
}

int keywordText(void*, int index, char* buffer, int size) {
    return platform::loadString(kTransferKeywordFirstId + static_cast<unsigned>(index), buffer, size);
}

int messageText(void*, int number, char* buffer, int size) {
    const char* text = transferMessageText(number, g_language);
    if (!buffer || size <= 0) return 0;
    const int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text ? text : "");
    return n < size ? n : size - 1;
}

}  // namespace

void setTransferNativeLanguage(int language) {
    g_language = language;
}

void setTransferNativeAllocator(void* (*allocate)(std::size_t), void (*release)(void*)) {
    g_allocate = allocate;
    g_release = release;
}

extern "C" std::uint32_t KORRIN_STDCALL transfer_parse_native(ParserBlock* block) {
    FileInput input{block ? static_cast<platform::FileHandle>(block->sourceFile) : platform::kInvalidFile,
                    block && block->charSet == kParseCharSetOem};
    TransferEnvironment env{readHandle, keywordText, messageText, &input, g_allocate, g_release};
    return transferParse(block, env);
}

std::int32_t transferReadMemory(void* context, char* buffer, std::int32_t size) {
    auto* in = static_cast<TransferMemoryInput*>(context);
    const std::size_t left = in->size - in->position;
    const std::size_t n = left < static_cast<std::size_t>(size) ? left : static_cast<std::size_t>(size);
    if (n) std::memcpy(buffer, in->data + in->position, n);
    in->position += n;
    if (n && in->oem) platform::oemToAnsi(buffer, n);
    return static_cast<std::int32_t>(n);
}

TransferEnvironment transferMemoryEnvironment(TransferMemoryInput* input) {
    return TransferEnvironment{transferReadMemory, keywordText, messageText, input, g_allocate, g_release};
}
