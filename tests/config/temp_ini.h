// A temporary INI file for the configuration tests, deleted at the end.
#pragma once

#include <string>

#include "platform/platform.h"

class TempIni {
public:
    explicit TempIni(const std::string& text = std::string()) {
        platform::tempFileName("vrd", path_);
        write(text);
    }
    ~TempIni() { platform::deleteFile(path_); }
    TempIni(const TempIni&) = delete;
    TempIni& operator=(const TempIni&) = delete;

    const char* path() const { return path_; }

    void write(const std::string& text) {
        platform::OpenInfo info;
        platform::FileHandle f =
            platform::openFile(path_, &info, platform::kOpenWrite | platform::kOpenCreate);
        if (f == platform::kInvalidFile) return;
        if (!text.empty()) platform::writeFile(f, text.data(), static_cast<std::uint32_t>(text.size()));
        platform::closeFile(f);
    }

    std::string read() const {
        platform::OpenInfo info;
        platform::FileHandle f = platform::openFile(path_, &info, platform::kOpenRead);
        if (f == platform::kInvalidFile) return "<unopenable>";
        std::string out;
        char buffer[512];
        std::int32_t n;
        while ((n = platform::readFile(f, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        platform::closeFile(f);
        return out;
    }

private:
    char path_[platform::kMaxPath] = {};
};
