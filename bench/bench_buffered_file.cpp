// Raw-mode throughput of the buffered file layer against stdio with a
// 4096-byte buffer, over a 64 MiB file. Piece sizes: 1..16 bytes in turn (the
// element stream writes integers, markers and short strings) and 4 KiB.
//
// Argument 0 = pieces of 1..16 bytes, otherwise the piece size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/buffered_file.h"

namespace {

constexpr std::size_t kFileSize = 64u << 20;
constexpr std::size_t kStdioBuffer = 4096;

struct Sample {
    char path[platform::kMaxPath] = {};
    std::vector<char> data;
    Sample() : data(kFileSize) {
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + (i >> 12));
        platform::tempFileName("vrd", path);
    }
    ~Sample() { platform::deleteFile(path); }
};

Sample& sample() {
    static Sample s;
    return s;
}

// Calls `piece(offset, n)` over the whole file in the pieces of `arg`.
template <class F>
void inPieces(std::int64_t arg, F piece) {
    std::size_t at = 0, turn = 0;
    while (at < kFileSize) {
        std::size_t n = arg == 0 ? 1 + (turn++ & 15) : static_cast<std::size_t>(arg);
        if (n > kFileSize - at) n = kFileSize - at;
        piece(at, n);
        at += n;
    }
}

void writeSample() {
    Sample& s = sample();
    BufferedFile* f = bfile::openFile(s.path, nullptr, platform::kOpenWrite | platform::kOpenCreate, 0);
    bfile::write(f, s.data.data(), static_cast<std::int32_t>(s.data.size()));
    bfile::close(f);
}

void BM_BufferedWrite(benchmark::State& state) {
    Sample& s = sample();
    for (auto _ : state) {
        BufferedFile* f = bfile::openFile(s.path, nullptr, platform::kOpenWrite | platform::kOpenCreate, 0);
        if (!f) state.SkipWithError("open failed");
        inPieces(state.range(0), [&](std::size_t at, std::size_t n) {
            bfile::write(f, s.data.data() + at, static_cast<std::int32_t>(n));
        });
        if (bfile::close(f) != 0) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFileSize));
}

void BM_StdioWrite(benchmark::State& state) {
    Sample& s = sample();
    for (auto _ : state) {
        std::FILE* f = std::fopen(s.path, "wb");
        if (!f) state.SkipWithError("open failed");
        std::setvbuf(f, nullptr, _IOFBF, kStdioBuffer);
        inPieces(state.range(0),
                 [&](std::size_t at, std::size_t n) { std::fwrite(s.data.data() + at, 1, n, f); });
        if (std::fclose(f) != 0) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFileSize));
}

void BM_BufferedRead(benchmark::State& state) {
    Sample& s = sample();
    writeSample();
    std::vector<char> out(kFileSize);
    for (auto _ : state) {
        BufferedFile* f = bfile::openFile(s.path, nullptr, platform::kOpenRead, 0);
        if (!f) state.SkipWithError("open failed");
        inPieces(state.range(0), [&](std::size_t at, std::size_t n) {
            bfile::read(f, out.data() + at, static_cast<std::int32_t>(n));
        });
        bfile::close(f);
        benchmark::DoNotOptimize(out.data());
    }
    if (std::memcmp(out.data(), s.data.data(), kFileSize) != 0) state.SkipWithError("read back differs");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFileSize));
}

void BM_StdioRead(benchmark::State& state) {
    Sample& s = sample();
    writeSample();
    std::vector<char> out(kFileSize);
    for (auto _ : state) {
        std::FILE* f = std::fopen(s.path, "rb");
        if (!f) state.SkipWithError("open failed");
        std::setvbuf(f, nullptr, _IOFBF, kStdioBuffer);
        inPieces(state.range(0),
                 [&](std::size_t at, std::size_t n) { std::fread(out.data() + at, 1, n, f); });
        std::fclose(f);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFileSize));
}

}  // namespace

BENCHMARK(BM_BufferedWrite)->Arg(0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioWrite)->Arg(0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BufferedRead)->Arg(0)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdioRead)->Arg(0)->Arg(4096)->Unit(benchmark::kMillisecond);
