#include "framework/FormReader.h"
#include "framework/FormWriter.h"

#include "framework/FormTestClasses.h"

#include <gtest/gtest.h>

using namespace formtest;

namespace {

// Compares every published property of two objects, following object properties,
// collections, string lists and the data kept by DefineProperties.
void ExpectSameProperties(TObject* a, TObject* b, const std::string& path)
{
    ASSERT_EQ(a->ClassType(), b->ClassType()) << path;
    for (PPropInfo p : GetPropInfos(a)) {
        std::string name = path + "." + p->Name;
        switch (p->PropType->Kind) {
        case tkClass: {
            TObject* x = GetObjectProp(a, p);
            TObject* y = GetObjectProp(b, p);
            if (auto* cx = dynamic_cast<TComponent*>(x)) {
                auto* cy = dynamic_cast<TComponent*>(y);
                ASSERT_NE(cy, nullptr) << name;
                EXPECT_EQ(cx->Name(), cy->Name()) << name;
            } else if (auto* sx = dynamic_cast<TStrings*>(x)) {
                EXPECT_TRUE(sx->Equals(dynamic_cast<TStrings*>(y))) << name;
            } else if (auto* colx = dynamic_cast<TCollection*>(x)) {
                auto* coly = dynamic_cast<TCollection*>(y);
                ASSERT_EQ(colx->Count(), coly->Count()) << name;
                for (int i = 0; i < colx->Count(); ++i)
                    ExpectSameProperties(colx->Items(i), coly->Items(i), name);
            } else if (x) {
                ExpectSameProperties(x, y, name);
            } else {
                EXPECT_EQ(y, nullptr) << name;
            }
            break;
        }
        case tkMethod:
            EXPECT_EQ(GetMethodProp(a, p).Name, GetMethodProp(b, p).Name) << name;
            break;
        case tkFloat:
            EXPECT_EQ(GetFloatProp(a, p), GetFloatProp(b, p)) << name;
            break;
        case tkString:
        case tkLString:
            EXPECT_EQ(GetStrProp(a, p), GetStrProp(b, p)) << name;
            break;
        case tkInt64:
            EXPECT_EQ(GetInt64Prop(a, p), GetInt64Prop(b, p)) << name;
            break;
        default:
            if (p->Name != "Secret") {
                EXPECT_EQ(GetOrdProp(a, p), GetOrdProp(b, p)) << name;
            }
        }
    }
    if (auto* ca = dynamic_cast<TTestCtl*>(a)) {
        auto* cb = dynamic_cast<TTestCtl*>(b);
        EXPECT_EQ(ca->Data, cb->Data) << path;
        EXPECT_EQ(ca->Extra, cb->Extra) << path;
        EXPECT_EQ(ca->GetParentComponent() ? ca->GetParentComponent()->Name() : "",
                  cb->GetParentComponent() ? cb->GetParentComponent()->Name() : "")
            << path;
    }
}

class FormWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterFormTestClasses();
        Form = new TTestForm(nullptr);
        Form->SetName("Main");
        Form->Caption = std::string("quote ' and\r\nbreak \x93high\x94 \x01", 26);

        Menu = new TTestMenu(Form);
        Menu->SetName("Menu1");
        Menu->Hint = "hint";

        Panel = new TTestCtl(Form);
        Panel->SetName("Panel1");
        Panel->SetParentComponent(Form);
        Panel->Left = -7;
        Panel->Align = talClient;
        Panel->Options = {toSecond, toThird};
        Panel->Ratio = 0.1;
        Panel->Letter = '\'';
        Panel->Big = -5000000000LL;
        Panel->Color = clTestFace;
        Panel->Visible = false;
        Panel->Secret = 99;
        Panel->GetFont()->Name = "Mono";
        Panel->GetFont()->Style = {toFirst};
        Panel->GetFont()->Color = 0x123456;
        Panel->Popup = Menu;
        Panel->OnClick = QM_METHOD(Form, TTestForm, PanelClick);
        Panel->Data = {0, 1, 0xFE, 0xFF};
        Panel->Extra = "x";
        auto* item = static_cast<TTestItem*>(Panel->GetItems()->Add());
        item->Width = 10;
        item = static_cast<TTestItem*>(Panel->GetItems()->Add());
        item->Text = "second";

        // Created before its buddy's parent, so the reference points backwards and forwards.
        Edit = new TTestCtl(Form);
        Edit->SetName("Edit1");
        Edit->SetParentComponent(Panel);
        Edit->GetLines()->Add("one");
        Edit->GetLines()->Add("");
        Edit->GetLines()->Add("three'");
        Edit->OnKey = QM_METHOD(Form, TTestForm, EditKey);
        Edit->Buddy = Panel;
        Panel->Buddy = Edit;
    }
    void TearDown() override { FreeObject(Form); }

    TTestForm* Form = nullptr;
    TTestMenu* Menu = nullptr;
    TTestCtl* Panel = nullptr;
    TTestCtl* Edit = nullptr;
};

TEST_F(FormWriterTest, WriteThenReadGivesTheSameProperties)
{
    std::string text = WriteComponentToText(Form);
    auto* copy = new TTestForm(nullptr);
    try {
        ReadComponentFromText(copy, text, "Written.qfm");
    } catch (const std::exception& e) {
        FreeObject(copy);
        FAIL() << e.what() << "\n" << text;
    }
    EXPECT_EQ(copy->Name(), "Main");
    ASSERT_EQ(copy->ComponentCount(), 3) << text;
    ExpectSameProperties(Form, copy, "Main");
    for (int i = 0; i < Form->ComponentCount(); ++i) {
        TComponent* original = Form->Components(i);
        TComponent* read = copy->FindComponent(original->Name());
        ASSERT_NE(read, nullptr) << original->Name();
        ExpectSameProperties(original, read, original->Name());
    }
    EXPECT_EQ(dynamic_cast<TTestCtl*>(copy->FindComponent("Edit1"))->Secret, 0)
        << "a property stored false is not written";
    FreeObject(copy);
}

TEST_F(FormWriterTest, WritesOnlyWhatDiffersFromDefaults)
{
    auto* bare = new TTestCtl(Form);
    bare->SetName("Bare");
    bare->SetParentComponent(Form);
    std::string text = WriteComponentToText(Form);
    // Every value is its default (Ratio has none, and 0 stays implicit).
    std::string expected = "  object Bare: TTestCtl\n  end\n";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_EQ(text.find("Secret"), std::string::npos);
}

TEST_F(FormWriterTest, NestsControlsUnderTheirParents)
{
    std::string text = WriteComponentToText(Form);
    size_t panel = text.find("\n  object Panel1: TTestCtl\n");
    size_t edit = text.find("\n    object Edit1: TTestCtl\n");
    size_t menu = text.find("\n  object Menu1: TTestMenu\n");
    ASSERT_NE(panel, std::string::npos) << text;
    ASSERT_NE(edit, std::string::npos) << text;
    ASSERT_NE(menu, std::string::npos) << text;
    EXPECT_LT(panel, edit);
    EXPECT_NE(text.find("    OnClick = PanelClick\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Buddy = Edit1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Color = clTestFace\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Font.Color = 1193046\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Data = {\n      0001FEFF}\n"), std::string::npos) << text;
    EXPECT_NE(text.find("      Lines.Strings = (\n        'one'\n        ''\n        'three''')\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("    Items = <\n      item\n        Width = 10\n      end\n"
                        "      item\n        Text = 'second'\n      end>\n"),
              std::string::npos)
        << text;
}

TEST(FormStrings, QuotesEveryByteSoItReadsBack)
{
    EXPECT_EQ(QuoteFormString(""), "''");
    EXPECT_EQ(QuoteFormString("it's"), "'it''s'");
    EXPECT_EQ(QuoteFormString("a\r\nb"), "'a'#13#10'b'");
    EXPECT_EQ(QuoteFormString(std::string("\0", 1)), "#0");

    RegisterFormTestClasses();
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    auto* form = new TTestForm(nullptr);
    ReadComponentFromText(form, "object F: TTestForm\n  Caption = " + QuoteFormString(all) + "\nend",
                          "Bytes.qfm");
    EXPECT_EQ(form->Caption, all);
    FreeObject(form);
}

TEST(FormStrings, UnnamedComponentsAndInfiniteFloatsAreRefused)
{
    RegisterFormTestClasses();
    auto* form = new TTestForm(nullptr);
    form->SetName("F");
    auto* ctl = new TTestCtl(form);
    EXPECT_THROW(WriteComponentToText(form), EWriteError);
    ctl->SetName("C");
    ctl->Ratio = 1.0 / 0.0;
    EXPECT_THROW(WriteComponentToText(form), EWriteError);
    EXPECT_FALSE(form->ComponentState().Contains(csWriting));
    FreeObject(form);
}

} // namespace
