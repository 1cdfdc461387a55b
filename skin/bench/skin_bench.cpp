// Prints how long the skin operations take:
//   wine build/bench/skin_bench.exe [--windows] [--rounds N] [--dump FOLDER]
// Region building on a plain outline and on a worst-case checkerboard mask and decoding a
// full-window image; then, with the shipped skin (needs a display): loading the main window,
// its first paint, re-showing a profile on its 154 keys, and creation to first paint of a window
// built from each dialog skin. Each window figure is a median of several rounds, printed next
// to a floor measured in the same run: a plain window with the same number of plain owner-drawn
// child windows at the same places, doing the same step.
//
// --windows skips the region and image figures; --dump writes what each window shows (read
// back from the window) as BMP files, to compare two builds pixel for pixel.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "bitmap_btn.h"
#include "controls.h"
#include "skin_files.h"
#include "skinned_window.h"
#include "skin_host_window.h"
#include "skin_image.h"
#include "skin_test_support.h"
#include "window_base.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One figure: the skinned step and the floor, each timed once per round.
struct Figure {
    std::vector<double> skin, floor;

    void Print(const char* label) const
    {
        const double skinMedian = Median(skin), floorMedian = Median(floor);
        std::printf("%-34s median %7.1f ms (min %6.1f)   floor %6.1f ms   ratio %5.2f\n", label, skinMedian,
                    skin.empty() ? 0.0 : *std::min_element(skin.begin(), skin.end()), floorMedian,
                    floorMedian > 0 ? skinMedian / floorMedian : 0.0);
    }
};

// ------------------------------------------------------------------ micro figures

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

void BenchRegion(const char* label, bool checkerboard, int rounds)
{
    qelt::UniqueBitmap mask(MaskBitmap(1024, 768, checkerboard));
    Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        RegionFromMask(mask.Get());
    std::printf("RegionFromMask 1024x768 %-12s %8.2f ms per mask\n", label, MillisecondsSince(start) / rounds);
}

void BenchImageDecoding()
{
    skintest::TempProgramFolder programFolder;
    programFolder.WriteSolidBmp(L"Skins\\main.bmp", 1024, 768, RGB(128, 128, 128));
    SkinBitmap image;
    const int rounds = 10;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        LoadSkinImage(programFolder.SkinPath(L"main.bmp"), image);
    std::printf("LoadSkinImage 1024x768 BMP          %8.2f ms per image\n", MillisecondsSince(start) / rounds);
}

// ------------------------------------------------------------------ bench windows

// Shows a window and returns when it and all its children have painted.
void FinishPaint(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
void ShowAndPaint(HWND window)
{
    ShowWindow(window, SW_SHOWNOACTIVATE);
    FinishPaint(window);
}

// The skinned windows are built hidden, the way the programs build theirs in their creation
// handlers, and pass their messages through their CSkinnedWindow first.
using SkinnedWindow = skintest::HostWindow;

constexpr const wchar_t* kPlainClass = L"QeltSkinBenchPlain";

void AddMacroLines(HWND list, int lines)
{
    for (int line = 0; line < lines; ++line)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line % 2 ? L"Left Shift Release" : L"Left Shift Press"));
}

// The floor: a plain window with plain owner-drawn children that fills its background and each
// child with a stock brush.
class PlainWindow final : public qelt::WindowBase {
public:
    PlainWindow(SIZE size, const std::vector<RECT>& places)
    {
        qelt::WindowParams params;
        params.title = L"skin bench floor";
        params.rect = RECT{0, 0, size.cx, size.cy};
        CreateWindowOf(qelt::WindowClassInfo{kPlainClass}, params);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        for (const RECT& r : places)
            m_children.push_back(CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, r.left,
                                                 r.top, r.right - r.left, r.bottom - r.top, Window(), nullptr,
                                                 instance, nullptr));
    }
    ~PlainWindow() override
    {
        DestroyWindowNow();
        skintest::DrainMessages();
    }

    const std::vector<HWND>& Children() const { return m_children; }

    // A plain list box with the given number of lines.
    void AddList(const RECT& r, int lines)
    {
        HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS, r.left,
                                    r.top, r.right - r.left, r.bottom - r.top, Window(), nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        AddMacroLines(list, lines);
    }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ERASEBKGND:
            return TRUE;
        case WM_PAINT: {
            qelt::PaintDc paint(Window());
            FillRect(paint.Get(), &paint.Area(), static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
            return 0;
        }
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
            return TRUE;
        }
        default:
            return DefWindowProcW(Window(), message, wParam, lParam);
        }
    }

    std::vector<HWND> m_children;  // destroyed with the window
};

RECT RectOf(const ButtonInfo& info) { return RECT{info.nLeft, info.nTop, info.nRight, info.nBottom}; }

// Writes what the window shows now, read back from the window, as a 24-bit BMP.
void DumpWindow(HWND window, const std::wstring& path)
{
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    skintest::Surface surface(width, height);
    {
        qelt::WindowDc dc(window);
        BitBlt(surface.Dc(), 0, 0, width, height, dc.Get(), 0, 0, SRCCOPY);
    }
    skintest::WriteFileBytes(path, skintest::BmpFileBytes(width, height,
                                                          [&surface](int x, int y) { return surface.Pixel(x, y); }));
}

// ------------------------------------------------------------------ the main window

// The main window's buttons in the order it makes them, with the properties it gives them.
struct MainButton {
    const wchar_t* section;
    int key;
};

std::vector<MainButton> MainWindowButtons()
{
    std::vector<MainButton> buttons;
    for (int key : {1, 2, 3, 34, 4, 5, 6, 7, 8, 9, 10, 11, 12, 35, 13})
        buttons.push_back({SKIN_BUTTONINFO, key});
    for (int key = 20; key <= 173; ++key)
        buttons.push_back({L"KEYS", key});
    for (int slot = 0; slot < 10; ++slot) {
        buttons.push_back({SKIN_BUTTONINFO, 14 + slot});
        buttons.push_back({SKIN_BUTTONINFO, 24 + slot});
    }
    return buttons;
}

class MainWindowBench {
public:
    MainWindowBench(const std::wstring& programFolder, const std::wstring& dumpFolder)
        : m_programFolder(programFolder), m_dumpFolder(dumpFolder), m_file(programFolder, L"main.ini")
    {
        for (const MainButton& b : MainWindowButtons())
            m_places.push_back(RectOf(m_file.ReadButton(b.section, b.key)));
        m_labelFontHeight = ReadSkinFontHeight(programFolder, L"main_font.ini", L"BUTTONFONT");
    }

    void Round(bool dump)
    {
        {
            SkinnedWindow skinned(SkinBehaviour{}, false);
            Clock::time_point start = Clock::now();
            Load(skinned);
            m_load.skin.push_back(MillisecondsSince(start));
            start = Clock::now();
            ShowAndPaint(skinned.Window());
            m_paint.skin.push_back(MillisecondsSince(start));
            if (dump)
                DumpWindow(skinned.Window(), m_dumpFolder + L"main_loaded.bmp");
            for (int i = 0; i < 2; ++i) {
                start = Clock::now();
                ShowProfile(skinned, (m_round + i) % 2);
                m_reshow.skin.push_back(MillisecondsSince(start));
            }
            if (dump) {
                ShowStates(skinned);
                DumpWindow(skinned.Window(), m_dumpFolder + L"main_profile.bmp");
            }
        }
        {
            Clock::time_point start = Clock::now();
            PlainWindow plain(m_size, m_places);
            m_load.floor.push_back(MillisecondsSince(start));
            start = Clock::now();
            ShowAndPaint(plain.Window());
            m_paint.floor.push_back(MillisecondsSince(start));
            for (int i = 0; i < 2; ++i) {
                start = Clock::now();
                for (size_t k = 0; k < kKeys; ++k)
                    InvalidateRect(plain.Children()[kFirstKey + k], nullptr, FALSE);
                FinishPaint(plain.Window());
                m_reshow.floor.push_back(MillisecondsSince(start));
            }
        }
        ++m_round;
    }

    void Print() const
    {
        std::printf("Shipped main window skin: %ldx%ld, %zu buttons\n", m_size.cx, m_size.cy, m_places.size());
        std::printf("  images %.1f ms, buttons %.1f ms, region %.1f ms (medians)\n", Median(m_images), Median(m_buttons),
                    Median(m_region));
        m_load.Print("  load (images, buttons, region)");
        m_paint.Print("  first paint");
        m_reshow.Print("  profile re-shown on 154 keys");
    }

private:
    static constexpr size_t kFirstKey = 15;  // keys follow the 15 single buttons
    static constexpr size_t kKeys = 154;

    void Load(SkinnedWindow& window)
    {
        CSkinnedWindow& skin = window.Skin();
        Clock::time_point start = Clock::now();
        skin.LoadScreen(window.Window(), m_file, true);
        m_images.push_back(MillisecondsSince(start));
        start = Clock::now();
        m_keys.clear();
        size_t index = 0;
        for (const MainButton& b : MainWindowButtons()) {
            const ButtonInfo info = m_file.ReadButton(b.section, b.key);
            CBitmapBtn* button = skin.AddButton(info);
            if (button == nullptr)
                continue;
            if (index >= kFirstKey && index < kFirstKey + kKeys) {
                button->m_strName = info.szName;
                button->m_nFontHeight = 16;
                button->m_nAlign = BTN_ALIGN_CENTRE;
                m_keys.push_back(button);
            } else if (b.key >= 14 && b.key <= 23 && b.section == SKIN_BUTTONINFO) {
                button->m_nFontHeight = m_labelFontHeight;
                button->SetCaption(L"No function");
            } else if (b.key >= 24 && b.key <= 33 && b.section == SKIN_BUTTONINFO) {
                button->SetCaption(info.szCaption);
                button->m_bUseTextRect = true;
                button->m_rcText = RECT{0, 0, 34, 34};
                button->m_nAlign = BTN_ALIGN_CENTRE;
            }
            ++index;
        }
        m_buttons.push_back(MillisecondsSince(start));
        start = Clock::now();
        skin.ApplyRegion();
        m_region.push_back(MillisecondsSince(start));
        m_size = skin.ClientSize();
    }

    // What a profile change does to the keys: all disabled, each given its plain images or, for
    // every fifth key (shifted by variant), the text-less images with a slot caption and the
    // indicator; then all repainted.
    void ShowProfile(SkinnedWindow& window, int variant)
    {
        const CSkinnedWindow& skin = window.Skin();
        for (size_t k = 0; k < m_keys.size(); ++k) {
            CBitmapBtn* key = m_keys[k];
            EnableWindow(key->Window(), FALSE);
            const RECT place = m_places[kFirstKey + k];
            if ((k + size_t(variant)) % 5 == 0) {
                key->SetStateImages(skin.m_bmpNotext, skin.m_bmpNotext, skin.m_bmpNotext, skin.m_bmpNotext, place);
                wchar_t caption[8];
                swprintf(caption, 8, L"M%d", int((k / 5) % 10) + 1);
                key->SetCaption(caption);
                key->m_nIndicatorMode = 1;
            } else {
                key->SetStateImages(skin.m_bmpMain, skin.m_bmpOver, skin.m_bmpDown, skin.m_bmpDisabled, place);
                key->SetCaption(L"");
                key->m_nIndicatorMode = 0;
            }
            key->m_bSelected = false;
            InvalidateRect(key->Window(), nullptr, FALSE);
        }
        FinishPaint(window.Window());
    }

    // For the picture: one button of each state.
    void ShowStates(SkinnedWindow& window)
    {
        const auto& buttons = window.Skin().Buttons();
        buttons[4]->SetSelected(true);                            // a profile button
        buttons[kFirstKey + 5]->m_bHover = true;                  // a plain key under the mouse
        buttons[kFirstKey + 10]->m_bSelected = true;              // a labelled key, selected
        buttons[kFirstKey + 20]->m_bHover = true;                 // a labelled key under the mouse
        SendMessageW(buttons[kFirstKey + 7]->Window(), BM_SETSTATE, TRUE, 0);  // pressed
        buttons[kFirstKey + kKeys]->SetGreyed(true);              // a function label
        buttons[kFirstKey + kKeys + 1]->SetSelected(true);        // a slot button
        EnableWindow(buttons[kFirstKey + kKeys + 2]->Window(), FALSE);
        buttons[kFirstKey + kKeys + 3]->SetSelected(true);
        for (const auto& button : buttons)
            InvalidateRect(button->Window(), nullptr, FALSE);
        FinishPaint(window.Window());
    }

    std::wstring m_programFolder, m_dumpFolder;
    CSkinFile m_file;
    std::vector<RECT> m_places;
    std::vector<CBitmapBtn*> m_keys;
    int m_labelFontHeight = 0;
    SIZE m_size{0, 0};
    int m_round = 0;
    std::vector<double> m_images, m_buttons, m_region;
    Figure m_load, m_paint, m_reshow;
};

// ------------------------------------------------------------------ the dialogs

// A dialog skin and what its window makes of it: the button keys, which show their caption as a
// label (centred in the text rectangle at the font height), and its other controls.
struct DialogSkin {
    const wchar_t* file;
    std::vector<int> keys;
    std::vector<int> labelled;
    RECT textRect;
    int fontHeight;
    bool leftCaptions;  // all buttons show their caption, left-aligned (the function menu)
    bool stepList;      // the macro editor's list and delay field
    bool valueBar;      // the progress bar from "BAR_POSITION" "1"
};

const DialogSkin kDialogSkins[] = {
    {L"menu_skin.ini", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {}, {}, 13, true, false, false},
    {L"Warning1_skin.ini", {1, 2}, {}, {}, 14, false, false, false},
    {L"Warning2_skin.ini", {1}, {}, {}, 14, false, false, false},
    {L"Warning3_skin.ini", {1, 2}, {}, {}, 14, false, false, false},
    {L"repeat_skin.ini", {1, 2, 3, 4, 5}, {4, 5}, {5, 4, 42, 25}, 14, false, false, false},
    {L"macro_skin.ini", {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14}, {2, 3, 4, 5, 10, 11, 12, 13}, {6, 6, 65, 32}, 14,
     false, true, false},
    {L"loading_skin.ini", {}, {}, {}, 14, false, false, true},
    {L"apps_skin.ini", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {}, {}, 14, false, false, false},
};

class DialogBench {
public:
    DialogBench(const std::wstring& programFolder, const DialogSkin& dialog, const std::wstring& dumpFolder)
        : m_dialog(dialog), m_file(programFolder, dialog.file), m_dumpFolder(dumpFolder)
    {
        for (int key : dialog.keys)
            m_places.push_back(RectOf(m_file.ReadButton(SKIN_BUTTONINFO, key)));
        if (dialog.valueBar)
            m_places.push_back(RectOf(m_file.ReadButton(L"BAR_POSITION", 1)));
        if (dialog.stepList)
            m_places.push_back(RECT{280, 182, 320, 199});
    }

    void Round(bool dump)
    {
        SIZE size{0, 0};
        {
            Clock::time_point start = Clock::now();
            SkinnedWindow skinned(SkinBehaviour{}, false);
            Controls controls;
            Build(skinned, controls);
            ShowAndPaint(skinned.Window());
            m_figure.skin.push_back(MillisecondsSince(start));
            size = skinned.Skin().ClientSize();
            if (dump) {
                std::wstring name(m_dialog.file);
                name = name.substr(0, name.find(L'.'));
                DumpWindow(skinned.Window(), m_dumpFolder + name + L".bmp");
            }
        }
        {
            Clock::time_point start = Clock::now();
            PlainWindow plain(size, m_places);
            if (m_dialog.stepList)
                plain.AddList(kStepListPlace, kMacroListLines);
            ShowAndPaint(plain.Window());
            m_figure.floor.push_back(MillisecondsSince(start));
        }
    }

    void Print() const
    {
        char label[64];
        std::snprintf(label, sizeof(label), "  %ls (%zu controls)", m_dialog.file,
                      m_places.size() + (m_dialog.stepList ? 1 : 0));
        m_figure.Print(label);
    }

private:
    static constexpr int kMacroListLines = 54;
    static constexpr RECT kStepListPlace{16, 37, 165, 293};

    struct Controls {
        qelt::UniqueFont font;  // the macro editor's, given to its list, which goes first
        CDMarker bar;
        CListBoxEx list;
        CEditEx edit;
    };

    void Build(SkinnedWindow& window, Controls& controls)
    {
        CSkinnedWindow& skin = window.Skin();
        skin.LoadScreen(window.Window(), m_file);
        for (int key : m_dialog.keys) {
            CBitmapBtn* button = skin.AddButton(m_file, SKIN_BUTTONINFO, key);
            if (button == nullptr)
                continue;
            const ButtonInfo info = m_file.ReadButton(SKIN_BUTTONINFO, key);
            if (m_dialog.leftCaptions) {
                button->SetCaption(info.szCaption);
                button->m_nFontHeight = m_dialog.fontHeight;
            } else if (std::find(m_dialog.labelled.begin(), m_dialog.labelled.end(), key) != m_dialog.labelled.end()) {
                button->SetCaption(info.szCaption);
                button->m_nAlign = BTN_ALIGN_CENTRE;
                button->m_bUseTextRect = true;
                button->m_rcText = m_dialog.textRect;
                button->m_nFontHeight = m_dialog.fontHeight;
            }
        }
        if (m_dialog.valueBar) {
            const RECT place = RectOf(m_file.ReadButton(L"BAR_POSITION", 1));
            controls.bar.Create(place, window.Window());
            controls.bar.SetImages(skin.m_bmpMain, skin.m_bmpDown, place);
            controls.bar.m_range.nMin = 1;
            controls.bar.m_range.nMax = 100;
            controls.bar.m_range.nValue = 40;
            controls.bar.m_bDraggable = false;
        }
        if (m_dialog.stepList) {
            controls.list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS,
                                 kStepListPlace, window.Window(), 1006);
            controls.list.SetBackground(RGB(255, 255, 255));
            controls.font.Reset(CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0x30,
                                            L"AvenirLTStd-Light"));
            SendMessageW(controls.list.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(controls.font.Get()), FALSE);
            // A macro as long as recording allows: 108 steps, 54 key events with a line each (pauses
            // get none).
            AddMacroLines(controls.list.Window(), kMacroListLines);
            controls.edit.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER, RECT{280, 182, 320, 199},
                                 window.Window(), 11026);
            SetWindowTextW(controls.edit.Window(), L"25");
        }
        skin.ApplyRegion();
    }

    const DialogSkin& m_dialog;
    CSkinFile m_file;
    std::wstring m_dumpFolder;
    std::vector<RECT> m_places;
    Figure m_figure;
};

struct Options {
    bool windowsOnly = false;
    int rounds = 9;
    std::wstring dumpFolder;  // ends in a backslash when set
};

Options ParseOptions()
{
    Options options;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args != nullptr && i < count; ++i) {
        std::wstring arg = args[i];
        if (arg == L"--windows") {
            options.windowsOnly = true;
        } else if (arg == L"--rounds" && i + 1 < count) {
            options.rounds = std::max(1, _wtoi(args[++i]));
        } else if (arg == L"--dump" && i + 1 < count) {
            options.dumpFolder = args[++i];
            if (options.dumpFolder.back() != L'\\' && options.dumpFolder.back() != L'/')
                options.dumpFolder += L'\\';
            CreateDirectoryW(options.dumpFolder.c_str(), nullptr);
        }
    }
    LocalFree(args);
    return options;
}

} // namespace

int main()
{
    skintest::GdiplusSession gdiplus;
    const Options options = ParseOptions();

    if (!options.windowsOnly) {
        BenchRegion("outline", false, 5);
        BenchRegion("checkerboard", true, 2);
        BenchImageDecoding();
    }

    // The shipped skin, when the build has generated it beside the programs.
    const std::wstring shipped = ProgramFolder() + L"..\\out\\";
    if (GetFileAttributesW((shipped + L"Skins\\main.ini").c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("shipped skin: not generated, skipped\n");
        return 0;
    }
    if (PlainWindow probe(SIZE{10, 10}, {}); probe.Window() == nullptr) {
        std::printf("windows: no display, skipped\n");
        return 0;
    }
    const bool dump = !options.dumpFolder.empty();

    MainWindowBench main(shipped, options.dumpFolder);
    std::vector<std::unique_ptr<DialogBench>> dialogs;
    for (const DialogSkin& dialog : kDialogSkins)
        dialogs.push_back(std::make_unique<DialogBench>(shipped, dialog, options.dumpFolder));
    // Rounds interleave the skinned windows and their floors, so both see the same machine load.
    for (int round = 0; round < options.rounds; ++round) {
        main.Round(dump && round == 0);
        for (auto& dialog : dialogs)
            dialog->Round(dump && round == 0);
    }
    main.Print();
    std::printf("Dialog skins, creation to first paint:\n");
    for (const auto& dialog : dialogs)
        dialog->Print();
    return 0;
}
