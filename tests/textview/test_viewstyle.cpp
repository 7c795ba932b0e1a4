#include <gtest/gtest.h>

#include "platform/Windowing.h"

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "textview/ViewStyle.h"

namespace {
struct ViewStyleTest : ::testing::Test {
    void SetUp() override { InitForms(); }
    void TearDown() override { DoneForms(); }
};
} // namespace

TEST_F(ViewStyleTest, NewComponentHasSixDefaultStylesAndColours)
{
    TViewStyle vs(nullptr);
    TFontInfos* ts = vs.TextStyles();
    ASSERT_EQ(ts->Count(), 6);
    const TColor colours[] = {clWindowText, clBlue, clNavy, clMaroon, clGreen, clGreen};
    const TFontStyles styles[] = {{}, {fsBold}, {fsBold}, {fsItalic}, {fsUnderline}, {fsUnderline}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ts->Items(i)->Color, colours[i]);
        EXPECT_EQ(ts->Items(i)->Style, styles[i]);
        EXPECT_EQ(ts->Items(i)->FontName, "Arial");
        EXPECT_EQ(ts->Items(i)->Size, 10);
        EXPECT_EQ(ts->Items(i)->CharSet, DEFAULT_CHARSET);
    }
    EXPECT_EQ(vs.JumpCursor, 101);
    EXPECT_EQ(vs.Color, clWindow);
    EXPECT_EQ(vs.HoverColor, clNone);
    EXPECT_FALSE(vs.FullRedraw);
    EXPECT_EQ(vs.SelColor, clHighlight);
    EXPECT_EQ(vs.SelTextColor, clHighlightText);
}

TEST_F(ViewStyleTest, AssigningElevenStylesKeepsTheCollectionObject)
{
    TViewStyle vs(nullptr);
    TFontInfos* own = vs.TextStyles();
    TFontInfos eleven;
    for (int i = 0; i < 11; ++i) {
        TFontInfo* fi = eleven.Add();
        fi->Size = 8 + i;
        fi->CharSet = i == 6 ? ANSI_CHARSET : DEFAULT_CHARSET;
    }
    eleven.Items(6)->FontName = "System";
    vs.SetTextStyles(&eleven);
    EXPECT_EQ(vs.TextStyles(), own);
    ASSERT_EQ(own->Count(), 11);
    EXPECT_EQ(own->Items(6)->FontName, "System");
    EXPECT_EQ(own->Items(6)->CharSet, ANSI_CHARSET);
    EXPECT_EQ(own->Items(10)->Size, 18);
}

TEST_F(ViewStyleTest, AssignCopiesEveryFieldAndRejectsOtherClasses)
{
    TFontInfos a, b;
    TFontInfo* src = a.Add();
    src->CharSet = ANSI_CHARSET;
    src->FontName = "Courier New";
    src->Size = 14;
    src->Color = clTeal;
    src->Style = TFontStyles{fsBold, fsStrikeOut};
    TFontInfo* dst = b.Add();
    dst->Assign(src);
    EXPECT_EQ(dst->CharSet, ANSI_CHARSET);
    EXPECT_EQ(dst->FontName, "Courier New");
    EXPECT_EQ(dst->Size, 14);
    EXPECT_EQ(dst->Color, clTeal);
    EXPECT_EQ(dst->Style, (TFontStyles{fsBold, fsStrikeOut}));

    TFont font;
    EXPECT_THROW(dst->Assign(&font), Exception);
    EXPECT_EQ(dst->FontName, "Courier New");
}

TEST_F(ViewStyleTest, IndexOutsideTheTableRaisesListIndexError)
{
    TViewStyle vs(nullptr);
    EXPECT_THROW(vs.TextStyles()->Items(6), Exception);
    EXPECT_THROW(vs.TextStyles()->Items(-1), Exception);
    EXPECT_NO_THROW(vs.TextStyles()->Items(5));
}

TEST_F(ViewStyleTest, PublishedPropertiesUseColourNamesAndDefaults)
{
    TViewStyle vs(nullptr);
    PPropInfo sel = GetPropInfo(&vs, "SelColor");
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->PropType->TypeName, "TColor");
    EXPECT_TRUE(IsDefaultPropValue(&vs, sel));
    vs.SelColor = clRed;
    EXPECT_FALSE(IsDefaultPropValue(&vs, sel));
    EXPECT_NE(GetPropInfo(&vs, "TextStyles"), nullptr);
    TFontInfos infos;
    TFontInfo* fi = infos.Add();
    EXPECT_TRUE(IsDefaultPropValue(fi, GetPropInfo(fi, "FontName")));
}

TEST_F(ViewStyleTest, SecondComponentKeepsTheJumpCursorInstalled)
{
    Application->Initialize();
    TViewStyle first(nullptr);
    void* cursor = Screen->Cursors(101);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor, static_cast<void*>(LoadCursorA(nullptr, IDC_HAND))) << "the pointing hand";
    TViewStyle second(nullptr);
    EXPECT_EQ(Screen->Cursors(101), cursor);
    EXPECT_EQ(first.JumpCursor, second.JumpCursor);
}
