#pragma once
// Menus: the item tree (TMenuItem), the main menu and pop-up menus, and keyboard shortcuts.
// The model holds all state and decides which item a shortcut reaches; the Qt presentation
// (framework/MenusQt.h) only mirrors it, so the rules here hold whatever the toolkit does.
#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

QM_EXCEPTION(EMenuError, Exception)

// ---- Shortcuts ----------------------------------------------------------------------------
// A shortcut is a virtual key code in the low byte plus modifier bits.

using TShortCut = uint16_t;
inline constexpr TShortCut scNone = 0;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// Key with any of scShift/scCtrl/scAlt; a key code above 255 gives scNone.
TShortCut ShortCut(WORD Key, TShortCut Modifiers);
// Key with a shift state whose first three members are, in this order, Shift, Alt and Ctrl
// (the order of the shift state the controls report).
template <class E> TShortCut ShortCut(WORD Key, Set<E> Shift)
{
    TShortCut mods = 0;
    if (Shift.Contains(static_cast<E>(0)))
        mods |= scShift;
    if (Shift.Contains(static_cast<E>(1)))
        mods |= scAlt;
    if (Shift.Contains(static_cast<E>(2)))
        mods |= scCtrl;
    return ShortCut(Key, mods);
}
inline WORD ShortCutKey(TShortCut S) { return static_cast<WORD>(S & 0xFF); }

// "F2", "Ctrl+S", "Shift+Ctrl+Del"; "" for scNone or a key without a name.
std::string ShortCutToText(TShortCut S);
// The reverse, modifiers in any order and letter case ignored; scNone when not understood.
TShortCut TextToShortCut(const std::string& Text);

// The caption shown without its "&" accelerator marks: "&Save" -> "Save", "Fish && Chips" ->
// "Fish & Chips".
std::string StripAccelerator(const std::string& Caption);
// The accelerator character of a caption (upper case), or 0.
char GetHotkey(const std::string& Caption);

inline constexpr char cLineCaption[] = "-";

// ---- Items --------------------------------------------------------------------------------

class TMenu;

class TMenuItem : public TComponent {
    QM_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    // The sub-items. Items are owned by their component owner (usually the form), not by
    // their parent item, but freeing an item frees its sub-items, as freeing a menu does.
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const;
    TMenuItem* operator[](int Index) const { return Items(Index); }
    void Add(TMenuItem* Item);
    void Add(const std::vector<TMenuItem*>& AItems);
    void Insert(int Index, TMenuItem* Item);
    // Takes the item out without freeing it.
    void Delete(int Index);
    void Remove(TMenuItem* Item);
    // Frees every sub-item.
    void Clear();
    int IndexOf(const TMenuItem* Item) const;
    // The sub-item whose caption matches, hotkeys and letter case ignored; nullptr if none.
    TMenuItem* Find(const std::string& ACaption) const;
    TMenuItem* Parent() const { return FParent; }
    // The menu whose tree holds this item, or nullptr while it is detached.
    TMenu* GetParentMenu() const;
    int MenuIndex() const;
    void SetMenuIndex(int Value);
    bool IsLine() const { return FCaption == cLineCaption; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    // Enabled itself and every parent item enabled: only then does its shortcut work.
    bool EnabledInTree() const;
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value);
    uint8_t GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(uint8_t Value);
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool Value) { FAutoCheck = Value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);

    // Does nothing while disabled; otherwise applies AutoCheck and fires OnClick.
    virtual void Click();
    TNotifyEvent OnClick;

    // Form descriptions nest items inside their menu or parent item.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Value) override;
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

protected:
    void BeforeDestroy() override;
    // Tells the menu that this item changed; Rebuild: its list of sub-items changed.
    void MenuChanged(bool Rebuild);

private:
    friend class TMenu;
    void Unlink();
    void TurnSiblingsOff();
    TMenuItem* Root();

    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on a menu's root item only
    std::vector<TMenuItem*> FItems;
    std::string FCaption;
    std::string FHint;
    TShortCut FShortCut = 0;
    int FImageIndex = -1;
    uint8_t FGroupIndex = 0;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    bool FDefault = false;
    bool FRadioItem = false;
    bool FAutoCheck = false;
    bool FUnlinked = false;
};

// ---- Menus --------------------------------------------------------------------------------

class TMenu;

// Told of every change of a menu's items (presentations keep themselves in sync this way).
class IMenuObserver {
public:
    virtual ~IMenuObserver() = default;
    // Rebuild false: Item's own state (caption, enabled, ...) changed. Rebuild true: the
    // list of Item's sub-items changed (Item may be the menu's root item).
    virtual void MenuItemChanged(TMenu* Menu, TMenuItem* Item, bool Rebuild) = 0;
    // The menu is being freed; the observer is dropped afterwards.
    virtual void MenuDestroying(TMenu* Menu) = 0;
};

using TMenuChangeEvent = Event<void(TObject* Sender, TMenuItem* Source, bool Rebuild)>;

class TMenu : public TComponent {
    QM_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;

    // The invisible root item; the menu's top-level items are its sub-items.
    TMenuItem* Items() const { return FItems; }
    TComponent* Images() const { return FImages; }
    void SetImages(TComponent* Value);

    // The first item carrying Value whose whole parent chain is enabled (visibility does
    // not matter); nullptr when there is none.
    TMenuItem* FindShortCutItem(TShortCut Value) const;
    // Clicks that item; true when there was one.
    bool IsShortCut(TShortCut Value);
    template <class E> bool IsShortCut(WORD Key, Set<E> Shift)
    {
        return IsShortCut(::ShortCut(Key, Shift));
    }
    // The first item (depth first) with that component name, or nullptr.
    TMenuItem* FindItemByName(const std::string& AName) const;

    void AddObserver(IMenuObserver* Observer);
    void RemoveObserver(IMenuObserver* Observer);
    TMenuChangeEvent OnChange;

    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

protected:
    friend class TMenuItem;
    virtual void MenuChanged(TMenuItem* Source, bool Rebuild);
    void BeforeDestroy() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TMenuItem* FItems = nullptr;
    TComponent* FImages = nullptr;
    std::vector<IMenuObserver*> FObservers;
};

class TMainMenu : public TMenu {
    QM_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
    bool AutoMerge() const { return FAutoMerge; }
    void SetAutoMerge(bool Value) { FAutoMerge = Value; }

private:
    bool FAutoMerge = false;
};

QM_ENUM(TPopupAlignment, paLeft, paRight, paCenter)

class TPopupMenu;
// Shows a pop-up menu at a screen point without waiting for the user's choice.
using TPopupPresenter = std::function<void(TPopupMenu* Menu, int X, int Y)>;
// Replaces the presenter (tests); an empty one restores the Qt presentation.
void SetPopupMenuPresenter(TPopupPresenter Presenter);

class TPopupMenu : public TMenu {
    QM_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

    // Fires OnPopup, then shows the menu with its Alignment relative to (X, Y).
    virtual void Popup(int X, int Y);
    // The control that opened the menu, set by whoever pops it up; cleared when it is freed.
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* Value);
    POINT PopupPoint() const { return FPopupPoint; }
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool Value) { FAutoPopup = Value; }
    TPopupAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }

    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup(TObject* Sender);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TComponent* FPopupComponent = nullptr;
    POINT FPopupPoint{-1, -1};
    bool FAutoPopup = true;
    TPopupAlignment FAlignment = paLeft;
};

// A key pressed in a form: the focused control's pop-up menu gets the first chance, then the
// form's main menu. Either may be null. True when an item was clicked.
bool DispatchMenuShortCut(TPopupMenu* FocusedControlsPopup, TMainMenu* Main, TShortCut Value);
template <class E>
bool DispatchMenuShortCut(TPopupMenu* FocusedControlsPopup, TMainMenu* Main, WORD Key,
                          Set<E> Shift)
{
    return DispatchMenuShortCut(FocusedControlsPopup, Main, ShortCut(Key, Shift));
}

void RegisterMenusUnitClasses();
