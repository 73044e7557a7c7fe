// A scripted host for tests: records every message (id, formatted text,
// style) and answers questions from a script, in order.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/host.h"

struct RecordedMessage {
    unsigned id;
    std::string text;
    unsigned style;
};

class HostRecorder : public Host {
public:
    // Installs itself as the current host and resets the host state; the
    // destructor restores the previous host and clears the deferred list.
    HostRecorder();
    ~HostRecorder() override;

    // Answers for the next questions (kAnswerYes, kAnswerNo, ...). With an
    // empty script a question gets `defaultAnswer`.
    void answer(int reply) { script_.push_back(reply); }
    int defaultAnswer = kAnswerCancel;
    // Paths handed out by chooseFile, in order; empty string = cancelled.
    void choose(const std::string& path) { files_.push_back(path); }

    std::vector<RecordedMessage> messages;
    std::vector<std::string> statusTexts;
    int waitCursorDepth = 0;

    bool saw(unsigned id) const;
    std::string lastText() const { return messages.empty() ? std::string() : messages.back().text; }

    int message(unsigned id, const char* text, unsigned style) override;
    bool chooseFile(FileDialogRequest& request) override;
    void setWaitCursor(bool on) override { waitCursorDepth += on ? 1 : -1; }
    void setStatusText(const char* text) override { statusTexts.emplace_back(text ? text : ""); }
    void statusText(char* out, std::size_t size) override;

private:
    Host* previous_;
    std::deque<int> script_;
    std::deque<std::string> files_;
};
