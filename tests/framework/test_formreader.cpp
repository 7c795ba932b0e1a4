#include "framework/FormReader.h"
#include "framework/Resources.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

#include "framework/FormCheck.h"
#include "framework/FormTestClasses.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <fstream>
#include <sstream>

void RegisterEmbeddedResources_framework_tests();

namespace formtest {

std::vector<std::string>& Log()
{
    static std::vector<std::string> log;
    return log;
}

void RegisterTestColorIdents()
{
    RegisterIntegerIdents(
        "TTestColor",
        [](const std::string& ident, int64_t& v) {
            if (ident == "clTestRed")
                v = clTestRed;
            else if (ident == "clTestFace")
                v = clTestFace;
            else
                return false;
            return true;
        },
        [](int64_t v, std::string& ident) {
            if (v == clTestRed)
                ident = "clTestRed";
            else if (v == clTestFace)
                ident = "clTestFace";
            else
                return false;
            return true;
        });
}

void TTestFont::Assign(TPersistent* Source)
{
    auto* f = dynamic_cast<TTestFont*>(Source);
    if (!f)
        return TPersistent::Assign(Source);
    Name = f->Name;
    Size = f->Size;
    Color = f->Color;
    Style = f->Style;
}

QM_CLASS_IMPL(TTestFont, TPersistent, [](TClassBuilder<TTestFont>& b) {
    b.Property("Name", &TTestFont::Name).Default(std::string("Sans"));
    b.Property("Size", &TTestFont::Size).Default(8);
    b.Property("Color", &TTestFont::Color).Default(0).TypeName("TTestColor");
    b.Property("Style", &TTestFont::Style).Default(TTestOptions{});
})

QM_CLASS_IMPL(TTestItem, TCollectionItem, [](TClassBuilder<TTestItem>& b) {
    b.Property("Width", &TTestItem::Width).Default(50);
    b.Property("Text", &TTestItem::Text);
})

QM_CLASS_IMPL(TTestMenu, TComponent, [](TClassBuilder<TTestMenu>& b) {
    b.Property("Hint", &TTestMenu::Hint);
})

TTestCtl::TTestCtl(TComponent* AOwner)
    : TComponent(AOwner), FFont(new TTestFont), FLines(new TStringList),
      FItems(new TOwnedCollection(this, TTestItem::StaticClassInfo()))
{
}

TTestCtl::~TTestCtl()
{
    FreeObject(FFont);
    FreeObject(FLines);
    FreeObject(FItems);
}

void TTestCtl::SetParentComponent(TComponent* Value) { FParent = Value; }

void TTestCtl::SetCaption(const std::string& Value)
{
    FCaption = Value;
    StateAtCaption = ComponentState();
}

void TTestCtl::Loaded()
{
    TComponent::Loaded();
    BuddyAtLoaded = Buddy != nullptr;
    Log().push_back("Loaded " + Name());
}

void TTestCtl::DefineProperties(TFiler* Filer)
{
    TComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Data", [this](std::vector<uint8_t>& d) { Data = d; },
        [this](std::vector<uint8_t>& d) { d = Data; }, !Data.empty());
    Filer->DefineProperty(
        "Extra", [this](TReader* r) { Extra = r->ReadString(); },
        [this](TWriter* w) { w->WriteString(Extra); }, !Extra.empty());
}

QM_CLASS_IMPL(TTestCtl, TComponent, [](TClassBuilder<TTestCtl>& b) {
    b.Property("Left", &TTestCtl::Left).Default(0);
    b.Property("Caption", &TTestCtl::GetCaption, &TTestCtl::SetCaption);
    b.Property("Align", &TTestCtl::Align).Default(talNone);
    b.Property("Options", &TTestCtl::Options).Default(TTestOptions{});
    b.Property("Ratio", &TTestCtl::Ratio);
    b.Property("Letter", &TTestCtl::Letter).Default('A');
    b.Property("Big", &TTestCtl::Big).Default(int64_t{0});
    b.Property("Color", &TTestCtl::Color).Default(0).TypeName("TTestColor");
    b.Property("Visible", &TTestCtl::Visible).Default(true);
    b.Property("Secret", &TTestCtl::Secret).Stored(false);
    b.Property("Font", &TTestCtl::GetFont, &TTestCtl::SetFont);
    b.Property("Lines", &TTestCtl::GetLines, &TTestCtl::SetLines);
    b.Property("Items", &TTestCtl::GetItems);
    b.Property("Buddy", &TTestCtl::Buddy);
    b.Property("Popup", &TTestCtl::Popup);
    b.Property("OnClick", &TTestCtl::OnClick);
    b.Property("OnKey", &TTestCtl::OnKey);
})

void TTestForm::Loaded()
{
    TComponent::Loaded();
    Log().push_back("Loaded " + Name());
}

void TTestForm::PanelClick(TObject*) { ++Clicks; }
void TTestForm::EditKey(TObject*, char& Key) { Key = 'Z'; }

QM_CLASS_IMPL(TTestForm, TComponent, [](TClassBuilder<TTestForm>& b) {
    b.Property("Caption", &TTestForm::Caption);
    b.Method("PanelClick", &TTestForm::PanelClick);
    b.Method("EditKey", &TTestForm::EditKey);
    b.Field("Panel1", &TTestForm::Panel1);
})
QM_CLASS_IMPL(TTestForm2, TTestForm)

void RegisterFormTestClasses()
{
    RegisterClasses({TTestCtl::StaticClassInfo(), TTestMenu::StaticClassInfo(),
                     TTestForm::StaticClassInfo(), TTestForm2::StaticClassInfo()});
    RegisterTestColorIdents();
}

} // namespace formtest

using namespace formtest;

namespace {

class FormReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterFormTestClasses();
        Log().clear();
        Form = new TTestForm(nullptr);
    }
    void TearDown() override { FreeObject(Form); }

    TTestCtl* Ctl(const std::string& name)
    {
        auto* c = dynamic_cast<TTestCtl*>(Form->FindComponent(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    TTestForm* Form = nullptr;
};

const char* const FullForm = R"(object MainForm: TTestForm
  Caption = 'It''s'#13#10'two' +
    ' lines'#$41
  object Panel1: TTestCtl
    Left = -12
    Align = talClient
    Options = [toFirst, toThird]
    Ratio = 2.5e-1
    Letter = #9
    Big = 5000000000
    Color = clTestRed
    Font.Name = 'Mono'
    Font.Style = [toSecond]
    Font.Color = $8000000F
    Buddy = Edit2
    Popup = Menu1
    OnClick = PanelClick
    Items = <
      item
        Width = 200
      end
      item
        Text = 'Ready'
      end>
    Data = { 00 ff
             1A }
    Extra = 'more'
    object Edit2: TTestCtl
      Lines.Strings = (
        'first line'
        ''
        'third'#0)
      OnKey = EditKey
      Buddy = Panel1
    end
  end
  // a non-visual component at the root level
  object Menu1: TTestMenu
    Hint = 'menu'
  end
end
)";

TEST_F(FormReaderTest, ReadsEveryKindOfValue)
{
    ReadComponentFromText(Form, FullForm, "Full.qfm");
    EXPECT_EQ(Form->Name(), "MainForm");
    EXPECT_EQ(Form->Caption, "It's\r\ntwo linesA");

    TTestCtl* panel = Ctl("Panel1");
    TTestCtl* edit = Ctl("Edit2");
    auto* menu = dynamic_cast<TTestMenu*>(Form->FindComponent("Menu1"));
    ASSERT_TRUE(panel && edit && menu);
    EXPECT_EQ(panel->Left, -12);
    EXPECT_EQ(panel->Align, talClient);
    EXPECT_EQ(panel->Options, (TTestOptions{toFirst, toThird}));
    EXPECT_DOUBLE_EQ(panel->Ratio, 0.25);
    EXPECT_EQ(panel->Letter, '\t');
    EXPECT_EQ(panel->Big, 5000000000LL);
    EXPECT_EQ(panel->Color, clTestRed);
    EXPECT_EQ(panel->GetFont()->Name, "Mono");
    EXPECT_EQ(panel->GetFont()->Style, TTestOptions{toSecond});
    EXPECT_EQ(panel->GetFont()->Color, clTestFace) << "8-digit hex is a 32-bit pattern";
    EXPECT_EQ(panel->Buddy, edit) << "reference to a component declared later";
    EXPECT_EQ(panel->Popup, menu);
    EXPECT_EQ(edit->Buddy, panel);

    ASSERT_EQ(panel->GetItems()->Count(), 2);
    EXPECT_EQ(static_cast<TTestItem*>(panel->GetItems()->Items(0))->Width, 200);
    EXPECT_EQ(static_cast<TTestItem*>(panel->GetItems()->Items(1))->Width, 50);
    EXPECT_EQ(static_cast<TTestItem*>(panel->GetItems()->Items(1))->Text, "Ready");
    EXPECT_EQ(panel->Data, (std::vector<uint8_t>{0x00, 0xFF, 0x1A}));
    EXPECT_EQ(panel->Extra, "more");

    ASSERT_EQ(edit->GetLines()->Count(), 3);
    EXPECT_EQ(edit->GetLines()->Strings(1), "");
    EXPECT_EQ(edit->GetLines()->Strings(2), std::string("third\0", 6));
    EXPECT_EQ(menu->Hint, "menu");

    panel->OnClick(panel);
    EXPECT_EQ(Form->Clicks, 1);
    char key = 'a';
    edit->OnKey(edit, key);
    EXPECT_EQ(key, 'Z');
}

} // namespace

namespace {

TEST_F(FormReaderTest, CreatesOwnedComponentsUnderTheirParents)
{
    ReadComponentFromText(Form, FullForm, "Full.qfm");
    TTestCtl* panel = Ctl("Panel1");
    TTestCtl* edit = Ctl("Edit2");
    EXPECT_EQ(panel->Owner(), Form);
    EXPECT_EQ(edit->Owner(), Form) << "the root owns every component read";
    EXPECT_EQ(panel->GetParentComponent(), Form);
    EXPECT_EQ(edit->GetParentComponent(), panel);
    EXPECT_EQ(Form->Panel1, panel) << "published field filled by name";
    EXPECT_EQ(Form->FindComponent("Menu1")->GetParentComponent(), nullptr);
}

TEST_F(FormReaderTest, LoadedRunsInCreationOrderThenTheRoot)
{
    ReadComponentFromText(Form, FullForm, "Full.qfm");
    EXPECT_EQ(Log(), (std::vector<std::string>{"Loaded Panel1", "Loaded Edit2", "Loaded MainForm"}));
    TTestCtl* panel = Ctl("Panel1");
    EXPECT_TRUE(panel->BuddyAtLoaded) << "references are resolved before Loaded";
    for (TComponent* c : {static_cast<TComponent*>(Form), static_cast<TComponent*>(panel)}) {
        EXPECT_FALSE(c->ComponentState().Contains(csLoading));
        EXPECT_FALSE(c->ComponentState().Contains(csReading));
    }
}

TEST_F(FormReaderTest, PropertiesAreSetWhileLoadingAndReading)
{
    ReadComponentFromText(Form, R"(object F: TTestForm
  object P: TTestCtl
    Caption = 'x'
  end
end)",
                          "State.qfm");
    TComponentState st = Ctl("P")->StateAtCaption;
    EXPECT_TRUE(st.Contains(csLoading));
    EXPECT_TRUE(st.Contains(csReading));
}

TEST_F(FormReaderTest, AcceptsADerivedRootAndResolvesOtherFormsComponents)
{
    auto* other = new TTestForm(nullptr);
    other->SetName("OtherForm");
    auto* menu = new TTestMenu(other);
    menu->SetName("Shared");
    RegisterFindGlobalComponentProc([other](const std::string& name) -> TComponent* {
        return name == "OtherForm" ? other : nullptr;
    });
    auto* derived = new TTestForm2(nullptr);
    try {
        ReadComponentFromText(derived, R"(object F2: TTestForm
  object P: TTestCtl
    Popup = OtherForm.Shared
  end
end)",
                              "Derived.qfm");
        EXPECT_EQ(dynamic_cast<TTestCtl*>(derived->FindComponent("P"))->Popup, menu);
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
    }
    RegisterFindGlobalComponentProc(nullptr);
    FreeObject(derived);
    FreeObject(other);
}

struct BadCase {
    const char* Text;
    int Line;
    const char* Message;
};

TEST_F(FormReaderTest, ErrorsNameTheFileAndLine)
{
    const BadCase cases[] = {
        {"object F: TTestForm\n  object P: TNoSuchClass\n  end\nend", 2, "TNoSuchClass not found"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Width = 3\n  end\nend", 3, "Unknown property 'Width'"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Font.Nope = 3\n  end\nend", 3, "Unknown property 'Font.Nope'"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Align = alClient\n  end\nend", 3, "Invalid enumeration name 'alClient'"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Options = [toFirst, toFourth]\n  end\nend", 3, "toFourth"},
        {"object F: TTestForm\n  object P: TTestCtl\n\n    Buddy = Nobody\n  end\nend", 4, "Unknown component reference 'Nobody'"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Popup = F\n  end\nend", 3, "TTestMenu"},
        {"object F: TTestForm\n  object P: TTestCtl\n    OnClick = NoHandler\n  end\nend", 3, "Unknown handler 'NoHandler'"},
        {"object F: TTestForm\n  object P: TTestCtl\n    OnClick = EditKey\n  end\nend", 3, "wrong signature"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Color = clNoColor\n  end\nend", 3, "clNoColor"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Left = 'text'\n  end\nend", 3, "Invalid value"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Left = 99999999999\n  end\nend", 3, "Left"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Caption = 'open\n  end\nend", 3, "Unterminated string"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Left 5\n  end\nend", 3, "'=' expected"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Left = 5\n  end\n", 5, "'end' expected"},
        {"object F: TTestMenu\nend", 1, "does not match"},
        {"object F: TTestForm\n  object P: TTestCtl\n  end\n  object P: TTestCtl\n  end\nend", 4, "P"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Data = { 0G }\n  end\nend", 3, "binary"},
        {"object F: TTestForm\n  object P: TTestCtl\n    Caption = #300\n  end\nend", 3, "#"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.Text);
        auto* form = new TTestForm(nullptr);
        try {
            ReadComponentFromText(form, c.Text, "Bad.qfm");
            ADD_FAILURE() << "no error";
        } catch (const EReadError& e) {
            std::string msg = e.what();
            EXPECT_EQ(msg.rfind("Bad.qfm(" + std::to_string(c.Line) + "): ", 0), 0u) << msg;
            EXPECT_NE(msg.find(c.Message), std::string::npos) << msg;
        }
        EXPECT_FALSE(form->ComponentState().Contains(csReading)) << "state restored";
        FreeObject(form);
    }
}

TEST_F(FormReaderTest, ReadsEmbeddedAndRegisteredResources)
{
    static const char text[] = "object R: TTestForm\n  Caption = 'from a resource'\nend\n";
    RegisterResource("ResForm", text, sizeof text - 1);
    ReadComponentResource(Form, "RESFORM");
    EXPECT_EQ(Form->Caption, "from a resource");
    UnregisterResource("ResForm");
    EXPECT_THROW(ReadComponentResource(Form, "RESFORM"), EResNotFound);

    RegisterEmbeddedResources_framework_tests();
    auto* dialog = new TTestForm(nullptr);
    EXPECT_NO_THROW(ReadComponentResource(dialog, "TESTDIALOG"));
    EXPECT_EQ(dialog->Name(), "TestDialog");
    EXPECT_NE(dialog->FindComponent("OkButton"), nullptr);
    FreeObject(dialog);
}

TEST_F(FormReaderTest, EveryFormDescriptionReads)
{
    // Real forms need the application objects; the program's own descriptions are checked
    // by its own tests, where its classes are linked.
    InitForms();
    Application->Initialize();
    RegisterFormClasses();
    RegisterColorIdents();
    RegisterStdControlsClasses();
    RegisterComControlsClasses();
    RegisterMenusUnitClasses();
    RegisterDialogsUnitClasses();
    RegisterClassesUnitClasses();
    EXPECT_GE(CheckAllFormDescriptions(SourceRoot() / "tests" / "resources" / "forms"), 4);
    DoneForms();
}

TEST_F(FormReaderTest, CheckAllFormDescriptionsReportsAnUnknownHandler)
{
    auto dir = std::filesystem::temp_directory_path() /
               ("qm_formcheck_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Broken.qfm") << "object B: TTestForm\n  object P: TTestCtl\n"
                                         "    OnClick = Missing\n  end\nend\n";
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        EXPECT_EQ(CheckAllFormDescriptions(dir), 0);
    }
    std::filesystem::remove_all(dir);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("Broken.qfm(3)"),
              std::string::npos);
}

} // namespace
