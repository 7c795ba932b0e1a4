#include "framework/Menus.h"

#include "platform/WinMessages.h"

#include <algorithm>

// ---- Shortcuts ----------------------------------------------------------------------------

namespace {

struct TKeyName {
    WORD Key;
    const char* Name;
};

constexpr TKeyName KeyNames[] = {
    {VK_BACK, "BkSp"},     {VK_TAB, "Tab"},        {VK_ESCAPE, "Esc"},     {VK_RETURN, "Enter"},
    {VK_SPACE, "Space"},   {VK_PRIOR, "PgUp"},     {VK_NEXT, "PgDn"},      {VK_END, "End"},
    {VK_HOME, "Home"},     {VK_LEFT, "Left"},      {VK_UP, "Up"},          {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},     {VK_INSERT, "Ins"},     {VK_DELETE, "Del"},     {VK_PAUSE, "Pause"},
    {VK_MULTIPLY, "Num *"}, {VK_ADD, "Num +"},     {VK_SUBTRACT, "Num -"}, {VK_DECIMAL, "Num Del"},
    {VK_DIVIDE, "Num /"},
};

std::string KeyName(WORD key)
{
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key < VK_F1 + 24)
        return "F" + std::to_string(key - VK_F1 + 1);
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return "Num " + std::to_string(key - VK_NUMPAD0);
    for (const auto& k : KeyNames)
        if (k.Key == key)
            return k.Name;
    return {};
}

// Takes a leading modifier ("Ctrl+") off text; true when there was one.
bool TakeModifier(std::string& text, TShortCut& mods)
{
    static const std::pair<const char*, TShortCut> names[] = {
        {"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};
    for (const auto& [name, bit] : names) {
        std::string n = name;
        if (text.size() > n.size() && SameText(text.substr(0, n.size()), n)) {
            text.erase(0, n.size());
            mods |= bit;
            return true;
        }
    }
    return false;
}

} // namespace

TShortCut ShortCut(WORD Key, TShortCut Modifiers)
{
    if (Key > 0xFF)
        return scNone;
    return static_cast<TShortCut>(Key | (Modifiers & (scShift | scCtrl | scAlt)));
}

std::string ShortCutToText(TShortCut S)
{
    std::string name = KeyName(ShortCutKey(S));
    if (name.empty())
        return {};
    std::string text;
    if (S & scShift)
        text += "Shift+";
    if (S & scCtrl)
        text += "Ctrl+";
    if (S & scAlt)
        text += "Alt+";
    return text + name;
}

TShortCut TextToShortCut(const std::string& Text)
{
    std::string rest = Text;
    TShortCut mods = 0;
    while (TakeModifier(rest, mods)) {
    }
    if (rest.empty())
        return scNone;
    for (WORD key = 1; key <= 0xFF; ++key) {
        std::string name = KeyName(key);
        if (!name.empty() && SameText(name, rest))
            return ShortCut(key, mods);
    }
    return scNone;
}

std::string StripAccelerator(const std::string& Caption)
{
    std::string out;
    out.reserve(Caption.size());
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Caption[i];
    }
    return out;
}

char GetHotkey(const std::string& Caption)
{
    for (size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&')
            continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return AsciiUpper(Caption[i + 1]);
    }
    return 0;
}

// ---- TMenuItem ----------------------------------------------------------------------------

namespace {
const char SMenuIndexError[] = "Menu index out of range";
const char SMenuReinserted[] = "Menu inserted twice";
const char SMenuNotFound[] = "Sub-menu is not in menu";
const char SMenuCircular[] = "A menu item cannot contain itself";

void RegisterShortCutIdents()
{
    // Plain key names ("F2", "Del") read as identifiers; values are written as numbers.
    RegisterIntegerIdents(
        "TShortCut",
        [](const std::string& ident, int64_t& value) {
            TShortCut s = TextToShortCut(ident);
            if (s == scNone)
                return false;
            value = s;
            return true;
        },
        [](int64_t, std::string&) { return false; });
}
} // namespace

QM_CLASS_IMPL(TMenuItem, TComponent, [](TClassBuilder<TMenuItem>& b) {
    RegisterShortCutIdents();
    b.Property("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck).Default(false);
    b.Property("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    b.Property("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).Default(false);
    b.Property("Default", &TMenuItem::Default, &TMenuItem::SetDefault).Default(false);
    b.Property("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).Default(true);
    b.Property("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex).Default(0);
    b.Property("Hint", &TMenuItem::Hint, &TMenuItem::SetHint);
    b.Property("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex).Default(-1);
    b.Property("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem).Default(false);
    b.Property("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut)
        .Default(0)
        .TypeName("TShortCut");
    b.Property("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).Default(true);
    b.Property("OnClick", &TMenuItem::OnClick);
})

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() { Unlink(); }

void TMenuItem::BeforeDestroy()
{
    Unlink();
    TComponent::BeforeDestroy();
}

void TMenuItem::Unlink()
{
    if (FUnlinked)
        return;
    FUnlinked = true;
    if (FParent)
        FParent->Remove(this);
    // Freed front to back so each child leaves a consistent list behind it.
    while (!FItems.empty()) {
        TMenuItem* child = FItems.front();
        FItems.erase(FItems.begin());
        child->FParent = nullptr;
        FreeObject(child);
    }
}

TMenuItem* TMenuItem::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EMenuError(SMenuIndexError);
    return FItems[Index];
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Add(const std::vector<TMenuItem*>& AItems)
{
    for (TMenuItem* item : AItems)
        Add(item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item)
{
    if (!Item)
        return;
    if (Item->FParent)
        throw EMenuError(SMenuReinserted);
    for (TMenuItem* p = this; p; p = p->FParent)
        if (p == Item)
            throw EMenuError(SMenuCircular);
    if (Item->FMenu)
        throw EMenuError(SMenuReinserted);
    if (Index < 0 || Index > Count())
        throw EMenuError(SMenuIndexError);
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    if (Item->FChecked && Item->FRadioItem)
        Item->TurnSiblingsOff();
    MenuChanged(true);
}

void TMenuItem::Delete(int Index)
{
    if (Index < 0 || Index >= Count())
        throw EMenuError(SMenuIndexError);
    TMenuItem* item = FItems[Index];
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
    MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* Item)
{
    int i = IndexOf(Item);
    if (i < 0)
        throw EMenuError(SMenuNotFound);
    Delete(i);
}

void TMenuItem::Clear()
{
    while (!FItems.empty())
        FreeObject(FItems.back());
}

int TMenuItem::IndexOf(const TMenuItem* Item) const
{
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const
{
    std::string want = StripAccelerator(ACaption);
    for (TMenuItem* item : FItems)
        if (AnsiUpperCase(StripAccelerator(item->FCaption)) == AnsiUpperCase(want))
            return item;
    return nullptr;
}

TMenuItem* TMenuItem::Root()
{
    TMenuItem* p = this;
    while (p->FParent)
        p = p->FParent;
    return p;
}

TMenu* TMenuItem::GetParentMenu() const { return const_cast<TMenuItem*>(this)->Root()->FMenu; }

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int Value)
{
    if (!FParent)
        return;
    TMenuItem* parent = FParent;
    int count = parent->Count();
    Value = std::clamp(Value, 0, count - 1);
    int cur = MenuIndex();
    if (Value == cur)
        return;
    parent->FItems.erase(parent->FItems.begin() + cur);
    parent->FItems.insert(parent->FItems.begin() + Value, this);
    parent->MenuChanged(true);
}

void TMenuItem::SetCaption(const std::string& Value)
{
    if (FCaption == Value)
        return;
    bool wasLine = IsLine();
    FCaption = Value;
    // A separator is a different kind of entry, so the parent's list is rebuilt.
    if (wasLine != IsLine() && FParent)
        FParent->MenuChanged(true);
    else
        MenuChanged(false);
}

void TMenuItem::SetShortCut(TShortCut Value)
{
    if (FShortCut == Value)
        return;
    FShortCut = Value;
    MenuChanged(false);
}

void TMenuItem::SetEnabled(bool Value)
{
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    MenuChanged(false);
}

bool TMenuItem::EnabledInTree() const
{
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (!p->FEnabled)
            return false;
    return true;
}

void TMenuItem::SetVisible(bool Value)
{
    if (FVisible == Value)
        return;
    FVisible = Value;
    MenuChanged(false);
}

void TMenuItem::TurnSiblingsOff()
{
    if (!FParent)
        return;
    for (TMenuItem* s : FParent->FItems)
        if (s != this && s->FRadioItem && s->FGroupIndex == FGroupIndex && s->FChecked) {
            s->FChecked = false;
            s->MenuChanged(false);
        }
}

void TMenuItem::SetChecked(bool Value)
{
    if (FChecked == Value)
        return;
    FChecked = Value;
    if (Value && FRadioItem)
        TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetDefault(bool Value)
{
    if (FDefault == Value)
        return;
    // One default entry per list.
    if (Value && FParent)
        for (TMenuItem* s : FParent->FItems)
            if (s != this && s->FDefault) {
                s->FDefault = false;
                s->MenuChanged(false);
            }
    FDefault = Value;
    MenuChanged(false);
}

void TMenuItem::SetRadioItem(bool Value)
{
    if (FRadioItem == Value)
        return;
    FRadioItem = Value;
    if (FChecked && FRadioItem)
        TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetGroupIndex(uint8_t Value)
{
    if (FGroupIndex == Value)
        return;
    FGroupIndex = Value;
    if (FChecked && FRadioItem)
        TurnSiblingsOff();
    MenuChanged(false);
}

void TMenuItem::SetHint(const std::string& Value)
{
    if (FHint == Value)
        return;
    FHint = Value;
    MenuChanged(false);
}

void TMenuItem::SetImageIndex(int Value)
{
    if (FImageIndex == Value)
        return;
    FImageIndex = Value;
    MenuChanged(false);
}

void TMenuItem::Click()
{
    if (!FEnabled)
        return;
    if (FAutoCheck)
        SetChecked(FRadioItem ? true : !FChecked);
    OnClick(this);
}

TComponent* TMenuItem::GetParentComponent() const
{
    if (FParent && FParent->FMenu)
        return FParent->FMenu;
    return FParent;
}

void TMenuItem::SetParentComponent(TComponent* Value)
{
    if (FParent)
        FParent->Remove(this);
    if (!Value)
        return;
    if (auto* menu = dynamic_cast<TMenu*>(Value))
        menu->Items()->Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(Value))
        item->Add(this);
    else
        throw EMenuError("A menu item belongs in a menu or a menu item, not in a " +
                         Value->ClassName());
}

void TMenuItem::GetChildren(const TGetChildProc& Proc, TComponent* Root)
{
    for (TMenuItem* item : FItems)
        if (item->Owner() == Root)
            Proc(item);
}

void TMenuItem::MenuChanged(bool Rebuild)
{
    TMenu* menu = GetParentMenu();
    if (menu && !menu->IsDestroying())
        menu->MenuChanged(this, Rebuild);
}

// ---- TMenu --------------------------------------------------------------------------------

QM_CLASS_IMPL(TMenu, TComponent, [](TClassBuilder<TMenu>& b) {
    b.Property("Images", &TMenu::Images, &TMenu::SetImages);
})

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner)
{
    FItems = new TMenuItem(this);
    FItems->FMenu = this;
}

TMenu::~TMenu()
{
    // Only reached without BeforeDestruction when deleted directly.
    if (FItems) {
        TMenuItem* items = FItems;
        FItems = nullptr;
        items->FMenu = nullptr;
        FreeObject(items);
    }
}

void TMenu::BeforeDestroy()
{
    auto observers = FObservers;
    for (IMenuObserver* o : observers)
        o->MenuDestroying(this);
    FObservers.clear();
    if (FItems) {
        TMenuItem* items = FItems;
        FItems = nullptr;
        items->FMenu = nullptr;
        FreeObject(items);
    }
    TComponent::BeforeDestroy();
}

void TMenu::SetImages(TComponent* Value)
{
    if (SetReference(FImages, Value) && FItems)
        MenuChanged(FItems, true);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages)
        FImages = nullptr;
}

TMenuItem* TMenu::FindShortCutItem(TShortCut Value) const
{
    if (Value == scNone || !FItems)
        return nullptr;
    // Disabled subtrees are skipped whole: their items' shortcuts are blocked.
    std::function<TMenuItem*(TMenuItem*)> walk = [&](TMenuItem* parent) -> TMenuItem* {
        for (TMenuItem* item : parent->FItems) {
            if (!item->Enabled())
                continue;
            if (item->ShortCut() == Value)
                return item;
            if (TMenuItem* found = walk(item))
                return found;
        }
        return nullptr;
    };
    return walk(FItems);
}

bool TMenu::IsShortCut(TShortCut Value)
{
    TMenuItem* item = FindShortCutItem(Value);
    if (!item)
        return false;
    item->Click();
    return true;
}

TMenuItem* TMenu::FindItemByName(const std::string& AName) const
{
    std::function<TMenuItem*(TMenuItem*)> walk = [&](TMenuItem* parent) -> TMenuItem* {
        for (TMenuItem* item : parent->FItems) {
            if (SameText(item->Name(), AName))
                return item;
            if (TMenuItem* found = walk(item))
                return found;
        }
        return nullptr;
    };
    return FItems ? walk(FItems) : nullptr;
}

void TMenu::AddObserver(IMenuObserver* Observer)
{
    if (Observer && std::find(FObservers.begin(), FObservers.end(), Observer) == FObservers.end())
        FObservers.push_back(Observer);
}

void TMenu::RemoveObserver(IMenuObserver* Observer)
{
    FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), Observer),
                     FObservers.end());
}

void TMenu::MenuChanged(TMenuItem* Source, bool Rebuild)
{
    if (IsLoading())
        return;
    auto observers = FObservers;
    for (IMenuObserver* o : observers)
        if (std::find(FObservers.begin(), FObservers.end(), o) != FObservers.end())
            o->MenuItemChanged(this, Source, Rebuild);
    OnChange(this, Source, Rebuild);
}

void TMenu::GetChildren(const TGetChildProc& Proc, TComponent* Root)
{
    if (FItems)
        FItems->GetChildren(Proc, Root);
}

// ---- TMainMenu, TPopupMenu ----------------------------------------------------------------

QM_CLASS_IMPL(TMainMenu, TMenu, [](TClassBuilder<TMainMenu>& b) {
    b.Property("AutoMerge", &TMainMenu::AutoMerge, &TMainMenu::SetAutoMerge).Default(false);
})

QM_CLASS_IMPL(TPopupMenu, TMenu, [](TClassBuilder<TPopupMenu>& b) {
    b.Property("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment).Default(paLeft);
    b.Property("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
    b.Property("OnPopup", &TPopupMenu::OnPopup);
})

namespace {
TPopupPresenter& PopupPresenter()
{
    static TPopupPresenter presenter;
    return presenter;
}
} // namespace

// Defined by the Qt presentation (MenusQt.cpp).
void PopupQtMenu(TPopupMenu* Menu, int ScreenX, int ScreenY);

void SetPopupMenuPresenter(TPopupPresenter Presenter) { PopupPresenter() = std::move(Presenter); }

void TPopupMenu::SetPopupComponent(TComponent* Value)
{
    SetReference(FPopupComponent, Value);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupComponent)
        FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup(TObject* Sender) { OnPopup(Sender); }

void TPopupMenu::Popup(int X, int Y)
{
    FPopupPoint = POINT{X, Y};
    DoPopup(this);
    if (const TPopupPresenter& p = PopupPresenter())
        p(this, X, Y);
    else
        PopupQtMenu(this, X, Y);
}

bool DispatchMenuShortCut(TPopupMenu* FocusedControlsPopup, TMainMenu* Main, TShortCut Value)
{
    if (Value == scNone)
        return false;
    if (FocusedControlsPopup && FocusedControlsPopup->IsShortCut(Value))
        return true;
    return Main && Main->IsShortCut(Value);
}

void RegisterMenusUnitClasses()
{
    RegisterShortCutIdents();
    RegisterClasses({TMenuItem::StaticClassInfo(), TMenu::StaticClassInfo(),
                     TMainMenu::StaticClassInfo(), TPopupMenu::StaticClassInfo()});
}
