#pragma once
// Small component classes with published properties of every kind, shared by the form
// reader and writer tests.
#include "framework/Classes.h"
#include "framework/Filer.h"
#include "framework/TypInfo.h"

#include <string>
#include <vector>

namespace formtest {

QM_ENUM(TTestAlign, talNone, talTop, talClient)
QM_ENUM(TTestOption, toFirst, toSecond, toThird)
using TTestOptions = Set<TTestOption>;
using TKeyEvent = Event<void(TObject* Sender, char& Key)>;

// Names of the integer type "TTestColor".
constexpr int clTestRed = 0x0000FF;
constexpr int clTestFace = static_cast<int>(0x8000000Fu);
void RegisterTestColorIdents();

// What happened while reading, in order.
std::vector<std::string>& Log();

class TTestFont : public TPersistent {
    QM_CLASS(TTestFont, TPersistent)
public:
    std::string Name = "Sans";
    int Size = 8;
    int Color = 0;
    TTestOptions Style;
    void Assign(TPersistent* Source) override;
};

class TTestItem : public TCollectionItem {
    QM_CLASS(TTestItem, TCollectionItem)
public:
    explicit TTestItem(TCollection* c) : TCollectionItem(c) {}
    int Width = 50;
    std::string Text;
};

class TTestMenu : public TComponent {
    QM_CLASS(TTestMenu, TComponent)
public:
    explicit TTestMenu(TComponent* AOwner) : TComponent(AOwner) {}
    std::string Hint;
};

// A control-like component: it has a parent, children, and data kept by DefineProperties.
class TTestCtl : public TComponent {
    QM_CLASS(TTestCtl, TComponent)
public:
    explicit TTestCtl(TComponent* AOwner);
    ~TTestCtl() override;

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* Value) override;
    void Loaded() override;
    void DefineProperties(TFiler* Filer) override;

    std::string GetCaption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    TTestFont* GetFont() const { return FFont; }
    void SetFont(TTestFont* Value) { FFont->Assign(Value); }
    TStringList* GetLines() const { return FLines; }
    void SetLines(TStringList* Value) { FLines->Assign(Value); }
    TCollection* GetItems() const { return FItems; }

    int Left = 0;
    TTestAlign Align = talNone;
    TTestOptions Options;
    double Ratio = 0;
    char Letter = 'A';
    int64_t Big = 0;
    int Color = 0;
    bool Visible = true;
    int Secret = 0;  // never stored
    TTestCtl* Buddy = nullptr;
    TTestMenu* Popup = nullptr;
    TNotifyEvent OnClick;
    TKeyEvent OnKey;
    std::vector<uint8_t> Data;
    std::string Extra;
    // The component state when Caption was set, and whether Buddy was already known.
    TComponentState StateAtCaption;
    bool BuddyAtLoaded = false;

private:
    std::string FCaption;
    TComponent* FParent = nullptr;
    TTestFont* FFont;
    TStringList* FLines;
    TCollection* FItems;
};

class TTestForm : public TComponent {
    QM_CLASS(TTestForm, TComponent)
public:
    explicit TTestForm(TComponent* AOwner) : TComponent(AOwner) {}
    void Loaded() override;
    void PanelClick(TObject* Sender);
    void EditKey(TObject* Sender, char& Key);

    TTestCtl* Panel1 = nullptr; // a published field
    int Clicks = 0;
    std::string Caption;
};

// A form class descending from TTestForm, for the root-class check.
class TTestForm2 : public TTestForm {
    QM_CLASS(TTestForm2, TTestForm)
public:
    explicit TTestForm2(TComponent* AOwner) : TTestForm(AOwner) {}
};

void RegisterFormTestClasses();

} // namespace formtest
