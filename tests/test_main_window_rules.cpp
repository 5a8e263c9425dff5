// The main window's rules: layout in units of one "Ｗ", the minimum size, the show modes.
#include <gtest/gtest.h>
#include <windows.h>

#include "view/main_layout.h"
#include "view/ui_texts.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace main_layout;

TEST(MainLayout, ControlsInUnitsOfOneCharacter) {
    // A 480 x 470 client area with a "Ｗ" of 12 x 13.
    const ControlRects r = LayoutControls(480, 470, 12, 13);
    EXPECT_EQ(r.groupBoxAt.x, 6);
    EXPECT_EQ(r.groupBoxAt.y, 6);
    EXPECT_EQ(r.groupBoxSize.cx, 468);
    EXPECT_EQ(r.groupBoxSize.cy, 470 - 13 - 150);
    EXPECT_EQ(r.listAt.x, 18);
    EXPECT_EQ(r.listAt.y, 19);
    EXPECT_EQ(r.listSize.cx, 480 - 36);
    EXPECT_EQ(r.listSize.cy, 470 - 39 - 150);
    // The list sits one character inside the box at the left, right, top and bottom.
    EXPECT_EQ(r.listAt.x - r.groupBoxAt.x, 12);
    EXPECT_EQ((r.groupBoxAt.x + r.groupBoxSize.cx) - (r.listAt.x + r.listSize.cx), 12);
    EXPECT_EQ((r.groupBoxAt.y + r.groupBoxSize.cy) - (r.listAt.y + r.listSize.cy), 13);
}

TEST(MainLayout, StateFrameTouchesTheBandAndEndsOneCharacterAboveTheBottom) {
    const FloatRect frame = StateFrame(600, 500, 12);
    EXPECT_FLOAT_EQ(frame.x, 12.0f);
    EXPECT_FLOAT_EQ(frame.y, 350.0f);
    EXPECT_FLOAT_EQ(frame.width, 576.0f);
    EXPECT_FLOAT_EQ(frame.y + frame.height, 500.0f - 12.0f);
    const FloatRect text = StateTextArea(600, 500);
    EXPECT_FLOAT_EQ(text.y, 350.0f);
    EXPECT_FLOAT_EQ(text.height, 150.0f);
    EXPECT_FLOAT_EQ(text.width, 600.0f);
}

TEST(MainLayout, MinimumSizeMovesOnlyRightAndBottom) {
    struct Case {
        RECT proposed;
        int imageType;
        RECT expected;
    } cases[] = {
        {{10, 20, 200, 700}, 0, {10, 20, 490, 700}},  // narrower than 480, even dragging the left edge
        {{10, 20, 600, 300}, 0, {10, 20, 600, 490}},  // lower than 470
        {{10, 20, 600, 300}, 1, {10, 20, 600, 506}},  // koala pictures want 486
        {{10, 20, 600, 480}, 0, {10, 20, 600, 490}},  // 460 high
        {{10, 20, 600, 495}, 1, {10, 20, 600, 495}},  // 475 is accepted even with koalas
        {{10, 20, 490, 490}, 1, {10, 20, 490, 490}},  // exactly the minimum
    };
    for (const Case& c : cases) {
        RECT r = c.proposed;
        ApplyMinimumSize(r, c.imageType);
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(MainLayout, ShowModes) {
    struct Case {
        int mode;
        int trayHidden;
        int expectedFlag;
        bool check;
    } cases[] = {
        {0, 1, 0, true},  {0, 0, 0, true},    // show
        {1, 0, 1, false}, {1, 1, 1, false},   // store in the tray
        {2, 1, 0, true},  {2, 0, 1, false},   // toggle
        {7, 0, 0, true},  {7, 1, 1, false},   // any other value keeps the flag
    };
    for (const Case& c : cases) {
        const ShowPlan plan = PlanShow(c.mode, c.trayHidden);
        EXPECT_EQ(plan.trayHidden, c.expectedFlag) << c.mode << "/" << c.trayHidden;
        EXPECT_EQ(plan.runCheck, c.check) << c.mode << "/" << c.trayHidden;
    }
    EXPECT_STREQ(StateText(0), L"スリープ禁止中");
    EXPECT_STREQ(StateText(1), L"スリープ許可中");
    EXPECT_EQ(StateColor(0), 0xFFFF0000u);
    EXPECT_EQ(StateColor(1), 0xFF0000FFu);
}

namespace {
// The conversions of a format string in order ("%02d", "%s", "%%"): what the arguments meet.
std::vector<std::wstring> Conversions(const wchar_t* text) {
    std::vector<std::wstring> found;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p != L'%') continue;
        const wchar_t* end = p + 1;
        while (*end && !wcschr(L"sdux%c", *end)) ++end;
        found.emplace_back(p, *end ? end + 1 : end);
        if (!*end) break;
        p = end;
    }
    return found;
}
}  // namespace

TEST(TextTables, EveryIdHasATextInEveryLanguageWithTheSameConversions) {
    EXPECT_EQ(Conversions(L"a %02d:%02d %s 100%% %u"),
              (std::vector<std::wstring>{L"%02d", L"%02d", L"%s", L"%%", L"%u"}));
    for (size_t i = 0; i < static_cast<size_t>(TextId::Count); ++i) {
        const TextId id = static_cast<TextId>(i);
        const std::wstring japanese = UiTextIn(UiLanguage::Japanese, id);
        const std::wstring english = UiTextIn(UiLanguage::English, id);
        EXPECT_FALSE(japanese.empty()) << "id " << i;
        EXPECT_FALSE(english.empty()) << "id " << i;
        EXPECT_EQ(Conversions(japanese.c_str()), Conversions(english.c_str())) << "id " << i;
        // A menu's access key: as many '&' in both.
        EXPECT_EQ(std::count(japanese.begin(), japanese.end(), L'&'), std::count(english.begin(), english.end(), L'&'))
            << "id " << i;
    }
    EXPECT_STREQ(UiTextIn(UiLanguage::English, TextId::Count), L"");
    EXPECT_STREQ(UiTextIn(UiLanguage::Count, TextId::StateAllowed), L"");
}

TEST(TextTables, TheSettingAndTheSystemLanguageChooseTheTable) {
    struct Case {
        const wchar_t* value;
        LANGID system;
        UiLanguage expected;
    };
    const LANGID japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
    const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
    const Case cases[] = {
        {L"auto", japanese, UiLanguage::Japanese}, {L"auto", english, UiLanguage::English},
        {L"auto", german, UiLanguage::English},    {L"", japanese, UiLanguage::Japanese},
        {L"fr", english, UiLanguage::English},     {L"ja", english, UiLanguage::Japanese},
        {L"JA", german, UiLanguage::Japanese},     {L"en", japanese, UiLanguage::English},
        {L"En", japanese, UiLanguage::English},    {L"english", japanese, UiLanguage::Japanese},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveLanguage(ParseLanguageChoice(c.value), c.system), c.expected) << c.value << " " << c.system;
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::Auto), L"auto");
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::Japanese), L"ja");
    EXPECT_STREQ(LanguageChoiceValue(LanguageChoice::English), L"en");
}

TEST(TextTables, LongEnglishStateWordsAreFittedIntoTheBand) {
    EXPECT_EQ(FittedPoints(48.0f, 400.0f, 432.0f), 48.0f);
    EXPECT_EQ(FittedPoints(48.0f, 480.0f, 432.0f), 43.0f);
    EXPECT_EQ(FittedPoints(48.0f, 5000.0f, 100.0f), 8.0f);
}
