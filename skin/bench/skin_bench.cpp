// Prints how long the skin operations take on window-sized inputs:
//   wine build/bench/skin_bench.exe
// Region building on a plain outline and on a worst-case checkerboard mask, decoding a
// full-window image, and creating a main window's worth of buttons (needs a display).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bitmap_btn.h"
#include "skin_files.h"
#include "skinned_window.h"
#include "skin_image.h"
#include "skin_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A mask of window size: an ellipse, or the worst case for regions, a one-pixel checkerboard.
HBITMAP MaskBitmap(int width, int height, bool checkerboard)
{
    return skintest::MakeBitmap(width, height, [=](int x, int y) {
        bool inside;
        if (checkerboard) {
            inside = (x + y) % 2 == 0;
        } else {
            double dx = (x - width / 2.0) / (width / 2.0), dy = (y - height / 2.0) / (height / 2.0);
            inside = dx * dx + dy * dy <= 1.0;
        }
        return inside ? RGB(0, 0, 0) : RGB(255, 255, 255);
    });
}

void BenchRegion(const char* label, bool checkerboard)
{
    qelt::UniqueBitmap mask(MaskBitmap(1024, 768, checkerboard));
    const int rounds = 5;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        RegionFromMask(mask.Get());
    std::printf("RegionFromMask 1024x768 %-12s %8.2f ms per mask\n", label, MillisecondsSince(start) / rounds);
}

} // namespace

int main()
{
    skintest::GdiplusSession gdiplus;

    BenchRegion("outline", false);
    BenchRegion("checkerboard", true);

    skintest::TempProgramFolder programFolder;
    const std::wstring& folder = programFolder.Path();
    programFolder.WriteSolidBmp(L"Skins\\main.bmp", 1024, 768, RGB(128, 128, 128));
    programFolder.WriteSolidBmp(L"Skins\\dot.bmp", 17, 17, RGB(128, 128, 128));
    WritePrivateProfileStringW(L"SCREEN", L"Red", L"dot.bmp", (folder + L"Skins\\main.ini").c_str());
    WritePrivateProfileStringW(L"SCREEN", L"Green", L"dot.bmp", (folder + L"Skins\\main.ini").c_str());
    WritePrivateProfileStringW(L"SCREEN", L"Blue", L"dot.bmp", (folder + L"Skins\\main.ini").c_str());

    {
        SkinBitmap image;
        const int rounds = 10;
        Clock::time_point start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            LoadSkinImage(folder + L"Skins\\main.bmp", image);
        std::printf("LoadSkinImage 1024x768 BMP          %8.2f ms per image\n", MillisecondsSince(start) / rounds);

        {
            CSkinFile mainFile(folder, L"main.ini");
            start = Clock::now();
            for (int i = 0; i < 570; ++i)
                mainFile.ReadString(L"SCREEN", L"Green");
            std::printf("CSkinFile::ReadString x 570           %8.2f ms in all\n", MillisecondsSince(start));
        }

        HWND host = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (host == nullptr) {
            std::printf("button creation: no display, skipped\n");
        } else {
            const int count = 190;  // about the main window's buttons and keyboard keys
            struct Run {
                const char* label;
                std::wstring programFolder;
            };
            // The second run names no indicator images, to show what loading them costs.
            for (const Run& run : {Run{"with indicators", folder}, Run{"no indicators", folder + L"none\\"}}) {
                std::vector<std::unique_ptr<CBitmapBtn>> buttons;
                start = Clock::now();
                for (int i = 0; i < count; ++i) {
                    ButtonInfo info{};
                    info.nLeft = (i % 19) * 50;
                    info.nTop = (i / 19) * 30;
                    info.nRight = info.nLeft + 45;
                    info.nBottom = info.nTop + 25;
                    buttons.push_back(CreateSkinButton(host, info, image, image, image, image, run.programFolder));
                }
                std::printf("CreateSkinButton x %d %-16s %8.2f ms in all\n", count, run.label, MillisecondsSince(start));
            }
            DestroyWindow(host);
        }
    }
    // The shipped main window skin, when the build has generated it beside the programs.
    {
        std::wstring shipped = ProgramFolder() + L"..\\out\\";
        if (GetFileAttributesW((shipped + L"Skins\\main.ini").c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("shipped main window skin: not generated, skipped\n");
        } else {
            HWND host = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
            if (host != nullptr) {
                CSkinnedWindow skin;
                CSkinFile file(shipped, L"main.ini");
                Clock::time_point start = Clock::now();
                skin.LoadScreen(host, file, true);
                int made = 0;
                for (int key = 1; key <= 35; ++key)
                    made += skin.AddButton(file, SKIN_BUTTONINFO, key) != nullptr;
                for (int key = 20; key <= 173; ++key)
                    made += skin.AddButton(file, L"KEYS", key) != nullptr;
                skin.ApplyRegion();
                std::printf("Shipped main window skin (%ldx%ld, %d buttons) %8.2f ms to load\n",
                            skin.ClientSize().cx, skin.ClientSize().cy, made, MillisecondsSince(start));
                DestroyWindow(host);
            }
        }
    }
    return 0;
}
