#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>

#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace {

struct MemoLines : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        RegisterStdControlsClasses();
        Form = new TForm(Application);
        Form->Show();
        Memo = new TMemo(Form);
        Memo->SetParent(Form);
        QApplication::processEvents();
    }
    void TearDown() override
    {
        FreeObject(Form);
        DoneForms();
    }
    QString Shown() const { return static_cast<QPlainTextEdit*>(Memo->NativeWidget())->toPlainText(); }
    TForm* Form = nullptr;
    TMemo* Memo = nullptr;
};

} // namespace

TEST_F(MemoLines, EveryAddedEmptyLineIsKept)
{
    TStrings* l = Memo->Lines();
    l->Add("");
    EXPECT_EQ(l->Count(), 1);
    l->Add("");
    EXPECT_EQ(l->Count(), 2) << "two empty lines in an empty memo";
    l->Clear();
    l->Add("a");
    l->Add("");
    l->Add("");
    ASSERT_EQ(l->Count(), 3) << "empty lines at the end";
    EXPECT_EQ(l->Strings(2), "");
    EXPECT_EQ(Memo->Text(), "a\r\n\r\n");
    l->Add("b");
    EXPECT_EQ(l->Count(), 4);
    EXPECT_EQ(Memo->Text(), "a\r\n\r\n\r\nb");
    EXPECT_EQ(Shown(), "a\n\n\nb");
    l->Insert(0, "");
    EXPECT_EQ(l->Count(), 5);
    EXPECT_EQ(l->Strings(1), "a");
}

TEST_F(MemoLines, EmptyLinesAddedInAnUpdateSurviveItsEnd)
{
    TStrings* l = Memo->Lines();
    l->BeginUpdate();
    l->Add("x");
    l->Add("");
    l->EndUpdate();
    EXPECT_EQ(l->Count(), 2);
    EXPECT_EQ(Shown(), "x\n");
}

TEST_F(MemoLines, NewTextAndEmbeddedBreaksStillSplitIntoLines)
{
    TStrings* l = Memo->Lines();
    l->Add("");
    Memo->SetText("p\r\nq");
    ASSERT_EQ(l->Count(), 2);
    EXPECT_EQ(l->Strings(1), "q");
    l->Clear();
    l->Add("one\r\ntwo");
    ASSERT_EQ(l->Count(), 2) << "a break inside a line makes two lines";
    EXPECT_EQ(l->Strings(0), "one");
}
