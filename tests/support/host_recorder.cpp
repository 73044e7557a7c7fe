#include "tests/support/host_recorder.h"

#include <cstdio>
#include <cstring>

HostRecorder::HostRecorder() : previous_(currentHost()) {
    setHost(this);
    g_hostState = HostState{};
    clearDeferred();
}

HostRecorder::~HostRecorder() {
    clearDeferred();
    g_hostState = HostState{};
    setHost(previous_);
}

bool HostRecorder::saw(unsigned id) const {
    for (const RecordedMessage& m : messages)
        if (m.id == id) return true;
    return false;
}

int HostRecorder::message(unsigned id, const char* text, unsigned style) {
    messages.push_back(RecordedMessage{id, text ? text : "", style});
    if ((style & kBoxButtonMask) == kBoxOk) return kAnswerOk;
    if (script_.empty()) return defaultAnswer;
    int reply = script_.front();
    script_.pop_front();
    return reply;
}

void HostRecorder::statusText(char* out, std::size_t size) {
    if (size) std::snprintf(out, size, "%s", statusTexts.empty() ? "" : statusTexts.back().c_str());
}

bool HostRecorder::chooseFile(FileDialogRequest& request) {
    if (files_.empty()) return false;
    std::string path = files_.front();
    files_.pop_front();
    if (path.empty() || path.size() >= request.pathSize) return false;
    std::memcpy(request.path, path.c_str(), path.size() + 1);
    return true;
}
