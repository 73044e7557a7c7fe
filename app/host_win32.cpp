// The host of the Win32 front end: message boxes under the product title,
// the common file dialogs, the wait cursor and the status-bar text.
#include "app/frame_win32.h"
// windows.h first
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "core/host.h"
#include "platform/platform.h"

namespace {

class Win32Host final : public Host {
public:
    int message(unsigned id, const char* text, unsigned style) override {
        diagnosticsLine("message %u %s", id, text ? text : "");
        if (g_frame.batch) {
            writeStandardError(text);
            return defaultAnswer(style);
        }
        // The visible frame owns the box, also while start-up keeps it
        // disabled (it stays so afterwards).
        const bool visible = g_frame.frame && IsWindowVisible(g_frame.frame);
        const bool enabled = visible && IsWindowEnabled(g_frame.frame);
        HWND owner = enabled ? GetLastActivePopup(g_frame.frame) : visible ? g_frame.frame : nullptr;
        ++g_frame.modalDepth;
        int answer =
            MessageBoxA(owner, text ? text : "", g_strings.title[0] ? g_strings.title : "Korrin(VRD)", style);
        --g_frame.modalDepth;
        if (visible && !enabled) EnableWindow(g_frame.frame, FALSE);
        return answer;
    }

    bool chooseFile(FileDialogRequest& request) override {
        if (!request.path || request.pathSize == 0 || g_frame.batch) return false;
        // "Name|*.x|Name|*.y" becomes the NUL-separated list of the dialog.
        char filter[1024] = {};
        if (request.filter) {
            std::snprintf(filter, sizeof filter - 1, "%s", request.filter);
            for (char* p = filter; *p; ++p)
                if (*p == '|') *p = 0;
        }
        char title[256] = {};
        if (request.titleId) platform::loadString(request.titleId, title, sizeof title);

        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = g_frame.frame;
        ofn.lpstrFilter = filter[0] ? filter : nullptr;
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = request.path;
        ofn.nMaxFile = static_cast<DWORD>(request.pathSize);
        ofn.lpstrInitialDir = request.initialDir && request.initialDir[0] ? request.initialDir : nullptr;
        ofn.lpstrTitle = title[0] ? title : nullptr;
        ofn.lpstrDefExt = request.defaultExt && request.defaultExt[0] ? request.defaultExt : nullptr;
        ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
        ++g_frame.modalDepth;
        BOOL chosen;
        if (request.save) {
            ofn.Flags |= OFN_OVERWRITEPROMPT;
            chosen = GetSaveFileNameA(&ofn);
        } else {
            ofn.Flags |= OFN_FILEMUSTEXIST;
            chosen = GetOpenFileNameA(&ofn);
        }
        --g_frame.modalDepth;
        if (!chosen) request.path[0] = 0;
        return chosen != FALSE;
    }

    void setWaitCursor(bool on) override {
        depth_ += on ? 1 : -1;
        if (depth_ < 0) depth_ = 0;
        SetCursor(LoadCursor(nullptr, depth_ > 0 ? IDC_WAIT : IDC_ARROW));
    }

    void setStatusText(const char* text) override { ::setStatusText(text); }
    void statusText(char* out, std::size_t size) override { ::statusText(out, static_cast<int>(size)); }

private:
    static int defaultAnswer(unsigned style) {
        switch (style & kBoxButtonMask) {
            case kBoxYesNo:
            case kBoxYesNoCancel:
                return kAnswerNo;
            case kBoxOkCancel:
                return kAnswerCancel;
            default:
                return kAnswerOk;
        }
    }

    int depth_ = 0;
};

Win32Host g_host;

}  // namespace

void installWin32Host() {
    setHost(&g_host);
}

void writeStandardError(const char* text) {
    if (!text) return;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE) {
        // A program without a console: write to the console of the caller.
        if (AttachConsole(ATTACH_PARENT_PROCESS)) err = GetStdHandle(STD_ERROR_HANDLE);
    }
    if (!err || err == INVALID_HANDLE_VALUE) return;
    ++g_frame.reasonsReported;
    char line[kMaxFormatted + 32];
    int n = std::snprintf(line, sizeof line, "korrin: %s\n", text);
    if (n <= 0) return;
    if (n >= static_cast<int>(sizeof line)) n = sizeof line - 1;
    // One reason reported by two steps of the same action (the window that
    // shows a damaged segment, then the export of it) is written once.
    static char previous[sizeof line];
    if (std::strcmp(previous, line) == 0) return;
    std::memcpy(previous, line, static_cast<std::size_t>(n) + 1);
    DWORD written = 0;
    WriteFile(err, line, static_cast<DWORD>(n), &written, nullptr);
}

void flushStartupMessages() {
    if (!g_frame.batch) {
        flushDeferred();
        return;
    }
    for (int i = 0; i < deferredCount(); ++i) {
        const DeferredMessage* m = deferredAt(i);
        diagnosticsLine("message %u %s", m->id, m->text ? m->text : "");
        writeStandardError(m->text);
    }
    clearDeferred();
}
