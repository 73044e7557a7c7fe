#include "tests/e2e/e2e_support.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace e2e {

std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

namespace {

struct FindContext {
    DWORD process;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK findTopLevel(HWND window, LPARAM lParam) {
    auto* find = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != find->process) return TRUE;
    if (find->visibleOnly && !IsWindowVisible(window)) return TRUE;
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, find->className) != 0) return TRUE;
    find->found = window;
    return FALSE;
}

HWND findOf(DWORD process, const char* className, bool visibleOnly, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        FindContext find{process, className, visibleOnly, nullptr};
        EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&find));
        if (find.found || GetTickCount() - start >= timeoutMs) return find.found;
        Sleep(50);
    }
}

BOOL CALLBACK collectText(HWND child, LPARAM lParam) {
    char text[512] = {};
    GetWindowTextA(child, text, sizeof text);
    auto* out = reinterpret_cast<std::string*>(lParam);
    if (text[0]) {
        if (!out->empty()) *out += "|";
        *out += text;
    }
    return TRUE;
}

// --- PNG

std::uint32_t crcTable[256];

void initCrc() {
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}

std::uint32_t crc(const std::uint8_t* data, std::size_t size, std::uint32_t c = 0xFFFFFFFFu) {
    for (std::size_t i = 0; i < size; ++i) c = crcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c;
}

void put32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, crc(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()) ^ 0xFFFFFFFFu);
}

// Rows of RGB bytes, each with filter byte 0, in stored (uncompressed)
// deflate blocks.
std::string pngOf(int width, int height, const std::uint8_t* bgra) {
    initCrc();
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        const std::uint8_t* row = bgra + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            raw += static_cast<char>(row[x * 4 + 2]);
            raw += static_cast<char>(row[x * 4 + 1]);
            raw += static_cast<char>(row[x * 4 + 0]);
        }
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0;) {
        std::size_t n = raw.size() - at > 65535 ? 65535 : raw.size() - at;
        bool last = at + n >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        at += n;
        if (last) break;
    }
    put32(z, (b << 16) | a);
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    put32(header, static_cast<std::uint32_t>(width));
    put32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", std::string());
    return out;
}

}  // namespace

std::string korrinPath() {
    char path[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_EXE", path, sizeof path);
    return windowsPath(path);
}

std::string tempPath(const char* stem, const char* extension) {
    static int counter = 0;
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof dir, dir);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%s%s-%lu-%d%s", dir, stem, GetCurrentProcessId(), ++counter, extension);
    return name;
}

std::string readFile(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    CloseHandle(file);
    return out;
}

bool writeFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) && n == text.size();
    CloseHandle(file);
    return ok;
}

Editor::Editor()
    : program(korrinPath()),
      diagnostics(tempPath("korrin-diag", ".log")),
      settings(tempPath("korrin", ".ini")),
      errors(tempPath("korrin-err", ".txt")) {}

Editor::~Editor() {
    if (process.hProcess) {
        if (running()) {
            if (frame && IsWindow(frame)) PostMessageA(frame, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process.hProcess, kMaybeQuestionMs) != WAIT_OBJECT_0) {
                // Dismiss what keeps it, then end it.
                TerminateProcess(process.hProcess, 99);
                WaitForSingleObject(process.hProcess, 5000);
            }
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    DeleteFileA(diagnostics.c_str());
    DeleteFileA(settings.c_str());
    DeleteFileA(errors.c_str());
}

std::string examplePath(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_EXAMPLES", dir, sizeof dir);
    return windowsPath(dir) + "\\" + name;
}

std::string copyOfExample(const std::string& name, const char* stem) {
    const std::string copy = tempPath(stem, name.substr(name.rfind('.')).c_str());
    return CopyFileA(examplePath(name).c_str(), copy.c_str(), FALSE) ? copy : std::string();
}

std::string logLine(const char* head, std::initializer_list<unsigned> numbers, const char* tail) {
    std::string line = head;
    for (unsigned n : numbers) line += " " + std::to_string(n);
    if (tail) line += std::string(" ") + tail;
    return line;
}

bool Editor::start(const std::string& arguments, const std::string& settingsText, bool waitReady) {
    writeFile(settings, settingsText);
    if (!launch("-i=\"" + settings + "\" " + arguments)) return false;
    return !waitReady || ready();
}

bool Editor::ready(DWORD timeoutMs) {
    // The line "ready" ends start-up (after the menu dump "menu start-up").
    if (!waitFor("\r\nready\r\n", timeoutMs)) return false;
    frame = findOf(process.dwProcessId, "korrinvrd", false, 5000);
    return frame != nullptr;
}

bool Editor::launch(const std::string& arguments) {
    return launchLine("\"" + program + "\" " + arguments);
}

bool Editor::launchLine(const std::string& line) {
    DeleteFileA(diagnostics.c_str());
    SetEnvironmentVariableA("KORRIN_DIAGNOSTICS", diagnostics.c_str());

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = err;
    startup.hStdError = err;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    BOOL ok = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &process);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    return ok != FALSE;
}

bool Editor::waitFor(const std::string& text, DWORD timeoutMs, std::size_t from) const {
    DWORD start = GetTickCount();
    for (;;) {
        std::string current = log();
        if (current.size() > from && current.find(text, from) != std::string::npos) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        if (!running()) {
            current = log();
            return current.size() > from && current.find(text, from) != std::string::npos;
        }
        Sleep(50);
    }
}

std::string Editor::menuDump() {
    std::size_t from = log().size();
    post(RegisterWindowMessageA("KorrinDiagnostics"));
    if (!waitFor("end menu", 10000, from)) return std::string();
    std::string current = log();
    std::size_t begin = current.find("menu dump", from);
    if (begin == std::string::npos) return std::string();
    std::size_t end = current.find("end menu", begin);
    return current.substr(begin, end - begin);
}

int Editor::waitExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

bool Editor::running() const {
    return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

HWND findDialogOf(DWORD process, DWORD timeoutMs) {
    return findOf(process, "#32770", true, timeoutMs);
}

std::string screenshotPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetEnvironmentVariableA("KORRIN_SCREENSHOTS", dir, sizeof dir);
    return windowsPath(dir) + "\\" + name;
}

HWND Editor::findDialog(DWORD timeoutMs) const {
    return findDialogOf(process.dwProcessId, timeoutMs);
}

HWND Editor::findWindowOfClass(const char* className, DWORD timeoutMs) const {
    return findOf(process.dwProcessId, className, true, timeoutMs);
}

void Editor::post(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (frame) PostMessageA(frame, message, wParam, lParam);
}

bool Editor::buttonRect(const char* bar, unsigned command, RECT* rect, bool* enabled) {
    std::string dump = menuDump();
    char key[64];
    std::snprintf(key, sizeof key, "button %s %u ", bar, command);
    std::size_t at = dump.find(key);
    if (at == std::string::npos) return false;
    long l, t, r, b;
    char state[8] = {};
    if (std::sscanf(dump.c_str() + at + std::strlen(key), "%ld %ld %ld %ld %7s", &l, &t, &r, &b, state) != 5)
        return false;
    *rect = RECT{l, t, r, b};
    if (enabled) *enabled = state[0] == 'e';
    return true;
}

std::string dialogText(HWND dialog) {
    std::string out;
    EnumChildWindows(dialog, collectText, reinterpret_cast<LPARAM>(&out));
    return out;
}

bool sendKeys(HWND window, const std::vector<WORD>& modifiers, WORD key) {
    SetForegroundWindow(window);
    Sleep(200);
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    for (WORD m : modifiers) add(m, false);
    add(key, false);
    add(key, true);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) add(*it, true);
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

namespace {
bool clickWith(POINT at, DWORD down, DWORD up) {
    SetCursorPos(at.x, at.y);
    Sleep(100);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = down;
    inputs[1].mi.dwFlags = up;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}
}  // namespace

bool rightClick(POINT at) {
    return clickWith(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
}

bool leftClick(POINT at) {
    return clickWith(at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void drawOwnCaptions() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\korrin.exe\\X11 Driver", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

bool captureScreen(const RECT& rect, Screenshot& out) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    out = Screenshot{width, height, {}};
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
        const auto* bgra = static_cast<const std::uint8_t*>(bits);
        out.bgra.assign(bgra, bgra + static_cast<std::size_t>(width) * height * 4);
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

COLORREF Screenshot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
    return RGB(p[2], p[1], p[0]);
}

bool Screenshot::savePng(const std::string& path) const {
    return !bgra.empty() && writeFile(windowsPath(path), pngOf(width, height, bgra.data()));
}

bool saveScreenPng(const RECT& rect, const std::string& path) {
    Screenshot shot;
    return captureScreen(rect, shot) && shot.savePng(path);
}

}  // namespace e2e
