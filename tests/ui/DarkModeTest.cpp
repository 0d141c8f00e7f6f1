// The dark-mode decisions for the Windows versions the program meets, and what the creation hook
// does to each kind of window. The fake table plays Windows; the windows are Wine's own.
#include "tests/ui/DarkTestSupport.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

using namespace dark_test;

namespace {

struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass;
    wchar_t title[5];
};

INT_PTR CALLBACK emptyDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A dialog (class "#32770", with WM_INITDIALOG) built in memory.
HWND createDialog() {
    static EmptyDialogTemplate dialogTemplate{{WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 10, 10, 200, 120}, 0, 0, L"Dark"};
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header, nullptr, emptyDialogProc, 0);
}

HWND child(HWND parent, const wchar_t* className, DWORD style) {
    return CreateWindowExW(0, className, L"Text", WS_CHILD | WS_VISIBLE | style, 0, 0, 180, 80, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

bool subclassed(HWND window) {
    wchar_t name[64]{};
    GetClassNameW(window, name, 64);
    WNDCLASSW info{};
    GetClassInfoW(nullptr, name, &info);
    return GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(info.lpfnWndProc);
}

std::wstring themesOf(HWND window) {
    std::wstring themes;
    for (const auto& [themed, theme] : fake.themeCalls) {
        themes += themed == window ? theme + L";" : L"";
    }
    return themes;
}

size_t indexOf(const std::string& call) {
    return static_cast<size_t>(std::find(fake.calls.begin(), fake.calls.end(), call) - fake.calls.begin());
}

class DarkModeDecision : public ::testing::Test {
protected:
    void SetUp() override { fake = FakeWindows(); }
    void TearDown() override { restoreRealSystem(); }
};

// Mistakes caught: the build not masked (17763 | 0xF0000000 would pass for a new build), the
// wrong form of ordinal 135 or the refresh before it, a misspelt property, attribute or size,
// a title bar darkened for a window Windows has not allowed dark mode.
TEST_F(DarkModeDecision, OldBuildsMarkTitleBarsByPropertyNewOnesByAttribute26) {
    for (DWORD build : {17763u, 19045u}) {
        SCOPED_TRACE(build);
        fake = FakeWindows();
        fake.build = build | 0xF0000000;
        initWithFake();
        ASSERT_TRUE(isDarkActive());
        EXPECT_LT(indexOf("135(1)"), indexOf("104()"));
        EXPECT_LT(indexOf("104()"), fake.calls.size());
        onFreshThread([build] {
            installThemingHook(GetModuleHandleW(nullptr));
            EXPECT_TRUE(themingHookInstalled());
            HWND dialog = createDialog();
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(fake.darkAllowed.count(dialog));
            HANDLE property = GetPropW(dialog, L"UseImmersiveDarkModeColors");
            if (build < 18362) {
                EXPECT_EQ(property, reinterpret_cast<HANDLE>(1));
                EXPECT_TRUE(fake.compositionDark.empty());
            } else {
                EXPECT_EQ(property, nullptr);
                ASSERT_EQ(fake.compositionDark.size(), 1u);
                EXPECT_EQ(fake.compositionDark[0], std::make_pair(dialog, DWORD{TRUE}));
                fake.darkAllowed.erase(dialog);
                applyDarkTitleBar(dialog);
                EXPECT_EQ(fake.compositionDark.back(), std::make_pair(dialog, DWORD{FALSE}));
            }
            DestroyWindow(dialog);
        });
    }
}

// Mistakes caught: a missing required function taken as present, the optional ordinal 106 or
// SetWindowCompositionAttribute taken as required, high contrast or the light app mode ignored,
// Windows 8.1 given dark mode or asked for UxTheme's ordinals.
TEST_F(DarkModeDecision, EveryMissingPieceOrLightSettingLeavesTheStandardLook) {
    struct Case {
        const char* name;
        void (*arrange)(FakeWindows&);
        bool supported;
    };
    const Case cases[] = {
        {"high contrast", [](FakeWindows& f) { f.highContrast = true; }, true},
        {"light app mode", [](FakeWindows& f) { f.appsUseDarkMode = false; }, true},
        {"Windows 8.1", [](FakeWindows& f) { f.major = 6; f.build = 9600; }, false},
        {"no RtlGetNtVersionNumbers", [](FakeWindows& f) { f.hasVersionFunction = false; }, false},
        {"no UxTheme", [](FakeWindows& f) { f.uxThemeMissing = true; }, false},
        {"no 49", [](FakeWindows& f) { f.missingOrdinals = {49}; }, false},
        {"no 104", [](FakeWindows& f) { f.missingOrdinals = {104}; }, false},
        {"no 132", [](FakeWindows& f) { f.missingOrdinals = {132}; }, false},
        {"no 133", [](FakeWindows& f) { f.missingOrdinals = {133}; }, false},
        {"no 135, build 17763", [](FakeWindows& f) { f.missingOrdinals = {135}; f.build = 17763; }, false},
        {"no 135, build 19045", [](FakeWindows& f) { f.missingOrdinals = {135}; }, false},
        {"no 137", [](FakeWindows& f) { f.missingOrdinals = {137}; }, false},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        fake = FakeWindows();
        testCase.arrange(fake);
        initWithFake();
        EXPECT_EQ(darkSupported, testCase.supported);
        EXPECT_FALSE(isDarkActive());
        EXPECT_EQ(indexOf("135(1)") < fake.calls.size(), testCase.supported) << "the app is allowed dark mode only with support";
        onFreshThread([] {
            installThemingHook(GetModuleHandleW(nullptr));
            EXPECT_FALSE(themingHookInstalled());
            HWND dialog = createDialog();
            HWND edit = child(dialog, L"Edit", WS_BORDER);
            EXPECT_FALSE(subclassed(dialog));
            EXPECT_FALSE(subclassed(edit));
            EXPECT_TRUE(fake.darkAllowed.empty());
            EXPECT_TRUE(fake.themeCalls.empty());
            DestroyWindow(dialog);
        });
    }
    fake = FakeWindows();
    fake.major = 6;
    initWithFake();
    EXPECT_TRUE(fake.ordinalsLookedUp.empty());

    fake = FakeWindows();
    fake.missingOrdinals = {106};
    fake.hasCompositionAttribute = false;
    initWithFake();
    EXPECT_TRUE(isDarkActive());
    EXPECT_EQ(std::count(fake.ordinalsLookedUp.begin(), fake.ordinalsLookedUp.end(), WORD{106}), 1);
}

// Mistakes caught: a row of the class table missing or with the wrong theme, a radio button
// themed as a push button, the combo's border left on, a toolbar touched, the
// tree view's colours sent before the control could take them, the rebar's fade upside down.
TEST_F(DarkModeDecision, TheHookTreatsEachClassByItsRow) {
    initWithFake();
    onFreshThread([] {
        installThemingHook(GetModuleHandleW(nullptr));
        HWND dialog = createDialog();
        EXPECT_TRUE(subclassed(dialog));
        struct Row {
            const wchar_t* className;
            DWORD style;
            bool allowed, subclassed;
            const wchar_t* themes;
        };
        const Row rows[] = {
            {L"Static", SS_LEFT, true, true, L""},
            {L"Button", BS_GROUPBOX, true, true, L"Explorer_Dark|Groupbox;"},
            {L"Button", BS_AUTOCHECKBOX, true, false, L""},
            {L"Button", BS_RADIOBUTTON, true, false, L"Explorer|;"},
            {L"Button", BS_AUTORADIOBUTTON, true, false, L"Explorer|;"},
            {L"Button", BS_PUSHBUTTON, true, false, L"Explorer|(null);"},
            {WC_HEADERW, 0, true, false, L"ItemsView|(null);"},
            {L"Edit", WS_BORDER, true, true, L""},
            {L"ComboBox", CBS_DROPDOWNLIST | WS_BORDER, true, true, L"Explorer|Explorer;"},
            {WC_TREEVIEWW, 0, true, false, L"Explorer|(null);"},
            {REBARCLASSNAMEW, CCS_NORESIZE, true, true, L""},
            // A status bar drawn with visual styles ignores its background colour.
            {STATUSCLASSNAMEW, 0, true, true, L" | ;"},
            {TOOLBARCLASSNAMEW, 0, false, false, L""},
        };
        for (const Row& row : rows) {
            HWND window = child(dialog, row.className, row.style);
            SCOPED_TRACE(testing::Message() << "style " << row.style << ", themes " << std::string(row.themes, row.themes + wcslen(row.themes)));
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(fake.darkAllowed.count(window) != 0, row.allowed);
            EXPECT_EQ(subclassed(window), row.subclassed);
            EXPECT_EQ(themesOf(window), row.themes);
            if (wcscmp(row.className, L"ComboBox") == 0) {
                EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_BORDER, 0);
            }
        }
        // The rebar's background fades downwards, the same across each line.
        HWND rebar = child(dialog, REBARCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN);
        Picture fade = drawn(180, 80, [rebar](HDC target) { SendMessageW(rebar, WM_ERASEBKGND, reinterpret_cast<WPARAM>(target), 0); });
        EXPECT_EQ(colorText(fade.at(5, 0)), colorText(RGB(64, 64, 64)));
        EXPECT_EQ(colorText(fade.at(170, 40)), colorText(RGB(32, 32, 32)));
        EXPECT_EQ(colorText(fade.at(5, 79)), colorText(RGB(1, 1, 1)));  // 64 - 64 * 79 / 80

        HWND tree = child(dialog, WC_TREEVIEWW, 0);
        pumpMessages(50);
        EXPECT_EQ(SendMessageW(tree, TVM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(32, 32, 32)));
        EXPECT_EQ(SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0), static_cast<LRESULT>(RGB(222, 222, 222)));

        // The list view's set-up needs the control created: extended styles, header and colours.
        HWND list = child(dialog, WC_LISTVIEWW, LVS_REPORT);
        pumpMessages(50);
        EXPECT_EQ(SendMessageW(list, LVM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(RGB(0, 0, 0)));
        EXPECT_EQ(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), static_cast<LRESULT>(RGB(255, 255, 255)));
        const LRESULT extended = LVS_EX_DOUBLEBUFFER | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP;
        EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & extended, extended);
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        EXPECT_TRUE(fake.darkAllowed.count(header));
        EXPECT_TRUE(themesOf(header).ends_with(L"ItemsView|(null);"));
        EXPECT_EQ(themesOf(list), L"Explorer|(null);");
        DestroyWindow(dialog);
    });
}

// Mistakes caught: ETDT_ENABLE (2) instead of ETDT_ENABLETAB (6), UxTheme never released.
TEST_F(DarkModeDecision, DialogTextureAsksForTheTabTextureAndReleasesUxTheme) {
    initWithFake();
    int loads = fake.uxThemeLoadCount;
    HWND dialog = createDialog();
    enableDialogTexture(dialog);
    ASSERT_EQ(fake.dialogTextures.size(), 1u);
    EXPECT_EQ(fake.dialogTextures[0], std::make_pair(dialog, DWORD{ETDT_ENABLETAB}));
    EXPECT_EQ(fake.uxThemeLoadCount - loads, 1);
    EXPECT_EQ(fake.uxThemeFreeCount, 1);
    DestroyWindow(dialog);
}

}  // namespace
