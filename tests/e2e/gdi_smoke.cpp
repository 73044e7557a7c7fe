// Proof that windows work where the tests run: a real top-level window,
// text drawn with GDI, and a measured text extent. Exit code 0 on success.
#include <windows.h>

#include <cstdio>

namespace {
int g_painted = 0;
SIZE g_extent = {0, 0};

LRESULT CALLBACK SmokeWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            const char text[] = "Korrin(VRD)";
            TextOutA(dc, 10, 10, text, sizeof text - 1);
            GetTextExtentPoint32A(dc, text, sizeof text - 1, &g_extent);
            EndPaint(hwnd, &ps);
            ++g_painted;
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SmokeWndProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "KorrinSmoke";
    if (!RegisterClassA(&wc)) return 2;
    HWND hwnd = CreateWindowA("KorrinSmoke", "Korrin(VRD)", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr,
                              nullptr, instance, nullptr);
    if (!hwnd) return 3;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    SetTimer(hwnd, 1, 200, nullptr);
    MSG msg;
    DWORD start = GetTickCount();
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && (g_painted || GetTickCount() - start > 10000)) DestroyWindow(hwnd);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    std::printf("painted %d times, text extent %ld x %ld\n", g_painted, g_extent.cx, g_extent.cy);
    return g_painted > 0 && g_extent.cx > 0 && g_extent.cy > 0 ? 0 : 1;
}
