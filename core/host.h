// The host interface: how portable code talks to the user. Messages are
// numbered texts from the string table, formatted with printf-style
// arguments (%s, %d, %u, %lu) and shown with a box style under the product
// title. The Win32 front end implements Host with message boxes and common
// dialogs; tests implement it with a scripted recorder.
#pragma once

#include <cstdarg>
#include <cstddef>

// Box styles: the values of the Win32 message-box flags.
enum BoxStyle : unsigned {
    kBoxOk = 0x0000,
    kBoxOkCancel = 0x0001,
    kBoxYesNoCancel = 0x0003,
    kBoxYesNo = 0x0004,
    kBoxButtonMask = 0x000F,
    kIconHand = 0x0010,
    kIconQuestion = 0x0020,
    kIconExclamation = 0x0030,
    kIconAsterisk = 0x0040,
    kIconMask = 0x00F0,
    kBoxSystemModal = 0x1000,
    kBoxTaskModal = 0x2000,
    kBoxDefault = kIconExclamation | kBoxTaskModal,
};

// Answers: the Win32 button ids.
enum Answer : int { kAnswerNone = 0, kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

struct FileDialogRequest {
    bool save;               // save dialog (else open)
    unsigned titleId;        // string id of the title, 0 for the default
    const char* filter;      // "Text|*.txt|All|*.*" pairs separated by '|'
    const char* initialDir;  // may be null
    const char* defaultExt;  // without the period, may be null
    char* path;              // in: proposed name; out: the chosen path
    std::size_t pathSize;
};

struct Host {
    virtual ~Host() = default;
    // Shows a formatted text; returns the answer (kAnswerOk for kBoxOk).
    virtual int message(unsigned id, const char* text, unsigned style) = 0;
    // Lets the user choose a file; false when cancelled.
    virtual bool chooseFile(FileDialogRequest& request) = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void setStatusText(const char* text) = 0;
    // The status-bar text shown now (so that it can be restored); empty
    // when there is none.
    virtual void statusText(char* out, std::size_t size) {
        if (size) out[0] = 0;
    }
};

// The process-wide host; null shows nothing (every question answers its
// default).
void setHost(Host* host);
Host* currentHost();

// States that change how messages are shown.
struct HostState {
    bool deferring = false;          // start-up: collect messages for later (questions are still asked)
    bool insideForeignCall = false;  // serving another application: no questions
    bool noDialogs = false;          // nothing is shown
    bool unattended = false;         // batch start: no questions, messages still reported
};
extern HostState g_hostState;

constexpr int kMaxFormatted = 1024;  // the formatted text is cut here
constexpr int kMaxDeferred = 10;

// Formats string `id` with the arguments into `out` (kMaxFormatted bytes).
// Returns the length; an unknown id gives an empty text.
int formatMessage(char* out, unsigned id, ...);
int formatMessageV(char* out, unsigned id, va_list args);

// Shows string `id` formatted with the arguments. While deferring, the
// message goes to the deferred list (and kAnswerOk is returned); with
// noDialogs nothing is shown.
int showMessage(unsigned id, unsigned style, ...);
// A question with `style` buttons. Inside a call from another application,
// with noDialogs, or in an unattended (batch) run, nothing is asked and
// `fallback` is returned. While deferring it is asked all the same: the
// deferred list holds messages, never answers.
int askQuestion(unsigned id, unsigned style, int fallback, ...);
bool questionsAllowed();

// The wait cursor for the lifetime of the scope.
class WaitCursor {
public:
    WaitCursor() {
        if (Host* host = currentHost()) host->setWaitCursor(true);
    }
    ~WaitCursor() {
        if (Host* host = currentHost()) host->setWaitCursor(false);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The deferred list: at most kMaxDeferred entries (later ones are dropped).
struct DeferredMessage {
    unsigned style;
    unsigned id;
    char* text;  // owned
};
int deferredCount();
const DeferredMessage* deferredAt(int index);
// Shows every deferred message through the host and empties the list.
// Entries whose box type (low nibble) is 1 lose that bit first.
void flushDeferred();
void clearDeferred();
