#include "core/host.h"

#include <cstdio>
#include <cstring>

#include <new>
#include "platform/platform.h"

HostState g_hostState;

namespace {

Host* g_host = nullptr;
DeferredMessage g_deferred[kMaxDeferred];
int g_deferredCount = 0;

void defer(unsigned id, const char* text, unsigned style) {
    if (g_deferredCount >= kMaxDeferred) return;
    // The list lives outside the job: it must not depend on a job's flags.
    std::size_t n = std::strlen(text);
    auto* copy = new (std::nothrow) char[n + 1];
    if (!copy) return;
    std::memcpy(copy, text, n + 1);
    g_deferred[g_deferredCount++] = DeferredMessage{style, id, copy};
}

}  // namespace

void setHost(Host* host) {
    g_host = host;
}
Host* currentHost() {
    return g_host;
}

int formatMessageV(char* out, unsigned id, va_list args) {
    char format[kMaxFormatted];
    if (platform::loadString(id, format, sizeof format) <= 0) {
        out[0] = 0;
        return 0;
    }
    int n = std::vsnprintf(out, kMaxFormatted, format, args);
    if (n < 0) {
        out[0] = 0;
        return 0;
    }
    return n < kMaxFormatted ? n : kMaxFormatted - 1;
}

int formatMessage(char* out, unsigned id, ...) {
    va_list args;
    va_start(args, id);
    int n = formatMessageV(out, id, args);
    va_end(args);
    return n;
}

bool questionsAllowed() {
    return !g_hostState.insideForeignCall && !g_hostState.noDialogs && !g_hostState.unattended;
}

int showMessage(unsigned id, unsigned style, ...) {
    char text[kMaxFormatted];
    va_list args;
    va_start(args, style);
    formatMessageV(text, id, args);
    va_end(args);
    if (g_hostState.noDialogs) return kAnswerOk;
    if (g_hostState.deferring) {
        defer(id, text, style);
        return kAnswerOk;
    }
    return g_host ? g_host->message(id, text, style) : kAnswerOk;
}

int askQuestion(unsigned id, unsigned style, int fallback, ...) {
    if (!questionsAllowed() || !g_host) return fallback;
    char text[kMaxFormatted];
    va_list args;
    va_start(args, fallback);
    formatMessageV(text, id, args);
    va_end(args);
    return g_host->message(id, text, style);
}

int deferredCount() {
    return g_deferredCount;
}

const DeferredMessage* deferredAt(int index) {
    return index >= 0 && index < g_deferredCount ? &g_deferred[index] : nullptr;
}

void clearDeferred() {
    for (int i = 0; i < g_deferredCount; ++i) delete[] g_deferred[i].text;
    g_deferredCount = 0;
}

void flushDeferred() {
    for (int i = 0; i < g_deferredCount; ++i) {
        unsigned style = g_deferred[i].style;
        if ((style & kBoxButtonMask) == kBoxOkCancel) style &= ~static_cast<unsigned>(kBoxOkCancel);
        if (g_host && !g_hostState.noDialogs) g_host->message(g_deferred[i].id, g_deferred[i].text, style);
    }
    clearDeferred();
}
