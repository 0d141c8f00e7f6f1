// The dark-mode decisions for the Windows versions the program meets, and what the creation hook
// does to each kind of window. The fake table plays Windows; the windows are Wine's own.
#include "tests/ui/DarkTestSupport.h"
#include "ui/DarkMode.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace dark_test;

namespace {

// An empty modal-frame dialog, built in memory: enough for the "#32770" class and WM_INITDIALOG.
struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    wchar_t title[8];
};

INT_PTR CALLBACK emptyDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HWND createEmptyDialog() {
    static EmptyDialogTemplate dialogTemplate{
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 10, 10, 200, 120}, 0, 0, L"Dark"};
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header, nullptr, emptyDialogProc, 0);
}

HWND child(HWND parent, const wchar_t* className, DWORD style, int x = 0, int y = 0, int width = 80, int height = 20) {
    return CreateWindowExW(0, className, L"Text", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// The window procedure a control of this class gets without any hook.
LONG_PTR classProcedure(const wchar_t* className) {
    WNDCLASSW info{};
    GetClassInfoW(nullptr, className, &info);
    return reinterpret_cast<LONG_PTR>(info.lpfnWndProc);
}

bool subclassed(HWND window) {
    wchar_t name[64]{};
    GetClassNameW(window, name, 64);
    return GetWindowLongPtrW(window, GWLP_WNDPROC) != classProcedure(name);
}

std::vector<FakeWindows::ThemeCall> themeCallsFor(HWND window) {
    std::vector<FakeWindows::ThemeCall> calls;
    for (const auto& call : fake.themeCalls) {
        if (call.window == window) {
            calls.push_back(call);
        }
    }
    return calls;
}

std::string narrow(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) {
        result += static_cast<char>(*text);
    }
    return result;
}

size_t indexOf(const std::vector<std::string>& calls, const std::string& call) {
    return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
}

class DarkModeDecision : public ::testing::Test {
protected:
    void SetUp() override { fake = FakeWindows(); }
    void TearDown() override { restoreRealSystem(); }
};

// Mistakes caught: the build not masked (0xF0004563 would count as a new build), the wrong form
// of ordinal 135, the refresh before the allow, a misspelt property, the title bar left light.
TEST_F(DarkModeDecision, Build17763AllowsDarkForTheAppAndMarksTitleBarsWithTheWindowProperty) {
    fake.build = 17763 | 0xF0000000;
    initWithFake();
    ASSERT_TRUE(darkSupported);
    EXPECT_TRUE(darkEnabled);
    EXPECT_TRUE(isDarkActive());
    size_t allow = indexOf(fake.calls, "135(1)");
    size_t refresh = indexOf(fake.calls, "104()");
    ASSERT_LT(allow, fake.calls.size());
    ASSERT_LT(refresh, fake.calls.size());
    EXPECT_LT(allow, refresh) << "the colour policy is refreshed after the app is allowed dark mode";

    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        EXPECT_TRUE(themingHookInstalled());
        HWND dialog = createEmptyDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(fake.darkAllowed.count(dialog));
        EXPECT_EQ(GetPropW(dialog, L"UseImmersiveDarkModeColors"), reinterpret_cast<HANDLE>(1));
        EXPECT_TRUE(fake.compositionDark.empty()) << "below build 18362 the window property darkens the title bar";
        DestroyWindow(dialog);
    });
}

TEST_F(DarkModeDecision, Build19045SetsThePreferredModeAndDarkensTitleBarsByAttribute26) {
    fake.build = 19045 | 0xF0000000;
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    EXPECT_LT(indexOf(fake.calls, "135(1)"), indexOf(fake.calls, "104()"));
    EXPECT_LT(indexOf(fake.calls, "104()"), fake.calls.size());

    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = createEmptyDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(fake.compositionDark.size(), 1u);
        EXPECT_EQ(fake.compositionDark[0].first, dialog);
        EXPECT_EQ(fake.compositionDark[0].second, TRUE);
        EXPECT_TRUE(fake.compositionErrors.empty()) << fake.compositionErrors.front();
        EXPECT_EQ(GetPropW(dialog, L"UseImmersiveDarkModeColors"), nullptr);

        // A window that Windows has not allowed dark mode keeps a light title bar.
        HWND other = createEmptyDialog();
        fake.darkAllowed.erase(other);
        applyDarkTitleBar(other);
        ASSERT_EQ(fake.compositionDark.size(), 3u);
        EXPECT_EQ(fake.compositionDark[2].second, FALSE);
        DestroyWindow(other);
        DestroyWindow(dialog);
    });
}

// Mistakes caught: a missing required function treated as present, the optional 106 treated as
// required, the version read without RtlGetNtVersionNumbers, high contrast or the light app mode
// ignored, Windows 8.1 given dark mode.
TEST_F(DarkModeDecision, EveryMissingPieceOrLightSettingLeavesTheStandardLook) {
    struct Case {
        const char* name;
        void (*arrange)(FakeWindows&);
        bool supported;
    };
    const Case cases[] = {
        {"high contrast on", [](FakeWindows& f) { f.highContrast = true; }, true},
        {"light app mode", [](FakeWindows& f) { f.appsUseDarkMode = false; }, true},
        {"Windows 8.1", [](FakeWindows& f) { f.major = 6; f.minor = 3; f.build = 9600; }, false},
        {"no RtlGetNtVersionNumbers", [](FakeWindows& f) { f.hasVersionFunction = false; }, false},
        {"UxTheme does not load", [](FakeWindows& f) { f.uxThemeLoads = false; }, false},
        {"ordinal 49 missing", [](FakeWindows& f) { f.missingOrdinals = {49}; }, false},
        {"ordinal 104 missing", [](FakeWindows& f) { f.missingOrdinals = {104}; }, false},
        {"ordinal 132 missing", [](FakeWindows& f) { f.missingOrdinals = {132}; }, false},
        {"ordinal 133 missing", [](FakeWindows& f) { f.missingOrdinals = {133}; }, false},
        {"ordinal 135 missing, old build", [](FakeWindows& f) { f.missingOrdinals = {135}; f.build = 17763; }, false},
        {"ordinal 135 missing, new build", [](FakeWindows& f) { f.missingOrdinals = {135}; }, false},
        {"ordinal 137 missing", [](FakeWindows& f) { f.missingOrdinals = {137}; }, false},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fake = FakeWindows();
        testCase.arrange(fake);
        initWithFake();
        EXPECT_EQ(darkSupported, testCase.supported);
        EXPECT_FALSE(isDarkActive());
        if (!testCase.supported) {
            EXPECT_EQ(indexOf(fake.calls, "135(1)"), fake.calls.size()) << "nothing is changed without support";
        }
        onFreshThread([] {
            installThemingHook(GetModuleHandleW(nullptr));
            EXPECT_FALSE(themingHookInstalled());
            HWND dialog = createEmptyDialog();
            ASSERT_NE(dialog, nullptr);
            HWND label = child(dialog, L"Static", SS_LEFT);
            HWND edit = child(dialog, L"Edit", WS_BORDER);
            EXPECT_FALSE(subclassed(dialog));
            EXPECT_FALSE(subclassed(label));
            EXPECT_FALSE(subclassed(edit));
            EXPECT_TRUE(fake.darkAllowed.empty());
            EXPECT_TRUE(fake.themeCalls.empty());
            DestroyWindow(dialog);
        });
    }
    // Windows 8.1 stops before asking UxTheme for any of its ordinals.
    fake = FakeWindows();
    fake.major = 6;
    initWithFake();
    EXPECT_TRUE(fake.ordinalsLookedUp.empty());

    // Ordinal 106 is looked up but not needed; nor is SetWindowCompositionAttribute.
    fake = FakeWindows();
    fake.missingOrdinals = {106};
    fake.hasCompositionAttribute = false;
    initWithFake();
    EXPECT_TRUE(isDarkActive());
    EXPECT_NE(std::find(fake.ordinalsLookedUp.begin(), fake.ordinalsLookedUp.end(), WORD{106}), fake.ordinalsLookedUp.end());
    HWND window = createEmptyDialog();
    applyDarkTitleBar(window);  // quietly nothing
    EXPECT_TRUE(fake.compositionDark.empty());
    DestroyWindow(window);
}

// Mistakes caught: a row of the class table missing or with the wrong theme, a radio button
// given the push button's theme, the combo's border left on, a toolbar or tab control touched,
// the tree view left light.
TEST_F(DarkModeDecision, TheHookTreatsEachClassByItsRow) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = createEmptyDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(subclassed(dialog));

        struct Expected {
            const wchar_t* className;
            DWORD style;
            bool allowed;
            bool subclassed;
            int themeCalls;  // 0 or 1
            const wchar_t* subApp;
            const wchar_t* idList;  // null: no list
        };
        const Expected rows[] = {
            {L"Static", SS_LEFT, true, true, 0, nullptr, nullptr},
            {L"Button", BS_GROUPBOX, true, true, 1, L"Explorer_Dark", L"Groupbox"},
            {L"Button", BS_AUTOCHECKBOX, true, false, 0, nullptr, nullptr},
            {L"Button", BS_RADIOBUTTON, true, false, 1, L"Explorer", L""},
            {L"Button", BS_AUTORADIOBUTTON, true, false, 1, L"Explorer", L""},
            {L"Button", BS_PUSHBUTTON, true, false, 1, L"Explorer", nullptr},
            {L"Button", BS_CHECKBOX, true, false, 1, L"Explorer", nullptr},
            {L"SysHeader32", 0, true, false, 1, L"ItemsView", nullptr},
            {L"Edit", WS_BORDER, true, true, 0, nullptr, nullptr},
            {L"ComboBox", CBS_DROPDOWNLIST | WS_BORDER, true, true, 1, L"Explorer", L"Explorer"},
            {WC_COMBOBOXEXW, CBS_DROPDOWNLIST, true, false, 1, L"Explorer", nullptr},
            {DATETIMEPICK_CLASSW, 0, true, false, 0, nullptr, nullptr},
            {WC_TREEVIEWW, 0, true, false, 1, L"Explorer", nullptr},
            {REBARCLASSNAMEW, CCS_NORESIZE, true, true, 0, nullptr, nullptr},
            {STATUSCLASSNAMEW, 0, true, true, 1, L" ", L" "},
            {TOOLBARCLASSNAMEW, 0, false, false, 0, nullptr, nullptr},
            {WC_TABCONTROLW, 0, false, false, 0, nullptr, nullptr},
        };
        for (const Expected& row : rows) {
            SCOPED_TRACE(testing::Message() << narrow(row.className) << " style " << row.style);
            HWND window = child(dialog, row.className, row.style);
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(fake.darkAllowed.count(window) != 0, row.allowed);
            EXPECT_EQ(subclassed(window), row.subclassed);
            std::vector<FakeWindows::ThemeCall> calls = themeCallsFor(window);
            ASSERT_EQ(static_cast<int>(calls.size()), row.themeCalls);
            if (row.themeCalls) {
                EXPECT_TRUE(calls[0].hasSubApp);
                EXPECT_EQ(calls[0].subApp, row.subApp);
                EXPECT_EQ(calls[0].hasIdList, row.idList != nullptr);
                if (row.idList) {
                    EXPECT_EQ(calls[0].idList, row.idList);
                }
            }
            if (wcscmp(row.className, L"ComboBox") == 0) {
                EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_BORDER, 0);
            }
        }

        // Colours that a control can only take once it exists arrive after its creation.
        HWND tree = child(dialog, WC_TREEVIEWW, 0);
        pumpMessages(50);
        EXPECT_EQ(SendMessageW(tree, TVM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(32, 32, 32)));
        EXPECT_EQ(SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0), static_cast<LRESULT>(RGB(222, 222, 222)));
        DestroyWindow(dialog);
    });
}

// Mistakes caught: the hot text colour not yellow, the flags that make the toolbar use them
// wrong, a toolbar's notification answered for any other control.
TEST_F(DarkModeDecision, ToolbarsOfADarkDialogDrawTheirTextLight) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = createEmptyDialog();
        HWND toolbar = child(dialog, TOOLBARCLASSNAMEW, TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN);
        HWND label = child(dialog, L"Static", SS_LEFT);
        ASSERT_NE(toolbar, nullptr);
        auto notify = [dialog](HWND from, DWORD stage, UINT state, NMTBCUSTOMDRAW& draw) {
            draw = NMTBCUSTOMDRAW{};
            draw.nmcd.hdr.hwndFrom = from;
            draw.nmcd.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
            draw.nmcd.dwDrawStage = stage;
            draw.nmcd.uItemState = state;
            return SendMessageW(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
        };
        NMTBCUSTOMDRAW draw{};
        EXPECT_EQ(notify(toolbar, CDDS_PREPAINT, 0, draw), CDRF_NOTIFYITEMDRAW);
        EXPECT_EQ(notify(toolbar, CDDS_ITEMPREPAINT, 0, draw), 0x8A0000);
        EXPECT_EQ(draw.clrText, RGB(222, 222, 222));
        EXPECT_EQ(draw.clrMark, RGB(80, 80, 222));
        EXPECT_EQ(draw.clrBtnHighlight, RGB(80, 80, 0));
        EXPECT_EQ(draw.clrHighlightHotTrack, RGB(80, 80, 0));
        notify(toolbar, CDDS_ITEMPREPAINT, CDIS_HOT, draw);
        EXPECT_EQ(draw.clrText, RGB(255, 255, 0));
        notify(toolbar, CDDS_ITEMPREPAINT, CDIS_SELECTED, draw);
        EXPECT_EQ(draw.clrText, RGB(255, 255, 0));
        EXPECT_EQ(notify(label, CDDS_PREPAINT, 0, draw), 0) << "only toolbars are answered";
        DestroyWindow(dialog);
    });
}

// Mistakes caught: the theme's colours sent after the black and white ones (the list would show
// the theme's), extended styles or the header's theme lost because the list was not yet created,
// the header text colour not applied.
TEST_F(DarkModeDecision, ListViewEndsBlackAndWhiteWithItsHeaderInTheThemesTextColour) {
    initWithFake();
    ASSERT_TRUE(isDarkActive());
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = createEmptyDialog();
        HWND list = child(dialog, WC_LISTVIEWW, LVS_REPORT, 0, 0, 180, 80);
        ASSERT_NE(list, nullptr);
        pumpMessages(50);
        EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(0, 0, 0)));
        EXPECT_EQ(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(0, 0, 0)));
        EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), static_cast<LRESULT>(RGB(255, 255, 255)));
        const LRESULT extended = LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
        EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & extended, extended);
        EXPECT_TRUE(fake.darkAllowed.count(list));

        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        ASSERT_NE(header, nullptr);
        EXPECT_TRUE(fake.darkAllowed.count(header));
        std::vector<FakeWindows::ThemeCall> headerThemes = themeCallsFor(header);
        ASSERT_FALSE(headerThemes.empty());
        EXPECT_EQ(headerThemes.back().subApp, L"ItemsView");
        std::vector<FakeWindows::ThemeCall> listThemes = themeCallsFor(list);
        ASSERT_FALSE(listThemes.empty());
        EXPECT_EQ(listThemes.back().subApp, L"Explorer");

        // The header's items are drawn in the colour the "Header" theme gives.
        HDC memory = CreateCompatibleDC(nullptr);
        NMCUSTOMDRAW draw{};
        draw.hdr.hwndFrom = header;
        draw.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(header));
        draw.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
        draw.hdc = memory;
        draw.dwDrawStage = CDDS_PREPAINT;
        EXPECT_EQ(SendMessageW(list, WM_NOTIFY, draw.hdr.idFrom, reinterpret_cast<LPARAM>(&draw)), CDRF_NOTIFYITEMDRAW);
        draw.dwDrawStage = CDDS_ITEMPREPAINT;
        SendMessageW(list, WM_NOTIFY, draw.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
        EXPECT_EQ(GetTextColor(memory), kFakeHeaderText);
        DeleteDC(memory);
        DestroyWindow(dialog);
    });
}

// Mistakes caught: ETDT_ENABLE (2) instead of ETDT_ENABLETAB (6), UxTheme loaded and never
// released, the texture applied only in dark mode.
TEST_F(DarkModeDecision, DialogTextureAsksForTheTabTextureAndReleasesUxTheme) {
    fake.appsUseDarkMode = false;
    initWithFake();
    ASSERT_FALSE(isDarkActive());
    int loads = fake.uxThemeLoadCount;
    int frees = fake.uxThemeFreeCount;
    HWND dialog = createEmptyDialog();
    enableDialogTexture(dialog);
    ASSERT_EQ(fake.dialogTextures.size(), 1u);
    EXPECT_EQ(fake.dialogTextures[0].first, dialog);
    EXPECT_EQ(fake.dialogTextures[0].second, static_cast<DWORD>(ETDT_ENABLETAB));
    EXPECT_EQ(fake.uxThemeLoadCount - loads, 1);
    EXPECT_EQ(fake.uxThemeFreeCount - frees, 1);
    DestroyWindow(dialog);
}

}  // namespace
