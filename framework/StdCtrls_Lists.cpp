// Combo and list boxes.
#include "framework/StdCtrls.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>

#include "framework/StdCtrlsPrivate.h"
#include "platform/AppException.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

// ---- TCustomComboBox ----------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomComboBox, TWidgetControl, [](TClassBuilder<TCustomComboBox>& b) {
    b.Property("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle).Default(csDropDown);
    b.Property("AutoComplete", &TCustomComboBox::AutoComplete, &TCustomComboBox::SetAutoComplete).Default(true);
    b.Property("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount).Default(8);
    b.Property("MaxLength", &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength).Default(0);
    b.Property("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted).Default(false);
    b.Property("Items", &TCustomComboBox::Items, &TCustomComboBox::SetItems);
    // Read after Items; an index that is out of range reads back as -1.
    b.Property("ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex).Default(-1).NoRoundTrip();
    // Text of a drop-down list must be one of the items.
    b.Property("Text", &TCustomComboBox::GetText, &TCustomComboBox::SetText).Default(std::string()).NoRoundTrip();
    b.Property("TabStop", &TCustomComboBox::TabStop, &TCustomComboBox::SetTabStop).Default(true);
    b.Property("Color", &TCustomComboBox::Color, &TCustomComboBox::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomComboBox::ParentColor, &TCustomComboBox::SetParentColor).Default(false);
    b.Property("OnChange", &TCustomComboBox::OnChange);
    b.Property("OnSelect", &TCustomComboBox::OnSelect);
    b.Property("OnDropDown", &TCustomComboBox::OnDropDown);
    b.Property("OnCloseUp", &TCustomComboBox::OnCloseUp);
})
QM_CLASS_IMPL(TComboBox, TCustomComboBox)

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWidgetControl(AOwner), FItems(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 145, 21);
    SetParentColor(false);
    SetColor(clWindow);
    FItems->OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); }, this);
}

TCustomComboBox::~TCustomComboBox() { FItems->OnChange = nullptr; }

TStrings* TCustomComboBox::Items() const { return FItems.get(); }
void TCustomComboBox::SetItems(TStrings* v) { FItems->Assign(v); }

class QmComboBox : public QComboBox {
public:
    std::function<void()> Opened, Closed;
    void showPopup() override
    {
        if (Opened)
            Opened();
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (Closed)
            Closed();
    }
};

QWidget* TCustomComboBox::MakeWidget()
{
    auto* c = new QmComboBox;
    c->Opened = [this] { GuardedCall([&] { OnDropDown(this); }); };
    c->Closed = [this] { GuardedCall([&] { OnCloseUp(this); }); };
    QObject::connect(c, &QComboBox::activated, c, [this](int i) { GuardedCall([&] { UserChose(i); }); });
    return c;
}

void TCustomComboBox::SyncWidget()
{
    auto* c = qobject_cast<QComboBox*>(Widget());
    if (!c || FSyncing)
        return;
    FSyncing = true;
    QSignalBlocker block(c);
    bool editable = FStyle == csDropDown || FStyle == csSimple;
    if (c->isEditable() != editable) {
        c->setEditable(editable);
        if (editable)
            QObject::connect(c->lineEdit(), &QLineEdit::textEdited, c,
                             [this](const QString& t) { GuardedCall([&] { UserTyped(FromQ(t)); }); });
    }
    c->clear();
    for (int i = 0; i < FItems->Count(); ++i)
        c->addItem(ToQ(FItems->Strings(i)));
    c->setMaxVisibleItems(std::max(1, FDropDownCount));
    c->setCurrentIndex(FItemIndex);
    if (editable) {
        QSignalBlocker b2(c->lineEdit());
        c->lineEdit()->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
        c->setEditText(ToQ(FEditText));
        // Off means no completion at all: a list of completions would take the Enter
        // meant for the box. On completes the typed text inline from the items.
        if (!FAutoComplete) {
            c->setCompleter(nullptr);
        } else if (!c->completer()) {
            auto* completer = new QCompleter(c->model(), c);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setCompletionMode(QCompleter::InlineCompletion);
            c->setCompleter(completer);
        }
    }
    FSyncing = false;
}

void TCustomComboBox::ItemsChanged()
{
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    if (FStyle == csDropDownList)
        FEditText = FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    SyncWidget();
}

void TCustomComboBox::SetStyle(TComboBoxStyle v)
{
    FStyle = v;
    ItemsChanged();
}

void TCustomComboBox::SetItemIndex(int v)
{
    if (v < 0 || v >= FItems->Count())
        v = -1;
    FItemIndex = v;
    if (v >= 0)
        FEditText = FItems->Strings(v);
    else if (FStyle == csDropDownList)
        FEditText.clear();
    SyncWidget();
}

std::string TCustomComboBox::GetText() const
{
    if (FStyle == csDropDownList)
        return FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    return FEditText;
}

void TCustomComboBox::SetText(const std::string& v)
{
    int i = FItems->IndexOf(v);
    if (FStyle == csDropDownList) {
        SetItemIndex(i);
        return;
    }
    FEditText = v;
    FText = v;
    FItemIndex = i;
    SyncWidget();
}

void TCustomComboBox::SetSorted(bool v)
{
    FSorted = v;
    std::string cur = FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    bool had = FItemIndex >= 0;
    FItems->SetSorted(v);
    if (had)
        FItemIndex = FItems->IndexOf(cur);
    SyncWidget();
}

void TCustomComboBox::SetAutoComplete(bool v)
{
    FAutoComplete = v;
    SyncWidget();
}
void TCustomComboBox::SetDropDownCount(int v)
{
    FDropDownCount = v;
    SyncWidget();
}
void TCustomComboBox::SetMaxLength(int v)
{
    FMaxLength = std::max(0, v);
    SyncWidget();
}

void TCustomComboBox::Clear()
{
    FItems->Clear();
    FEditText.clear();
    FItemIndex = -1;
    SyncWidget();
}

void TCustomComboBox::Change()
{
    RunUnlessBusy(FInChange, [this] { OnChange(this); });
}

// A choice from the list: OnSelect when assigned, else OnChange.
void TCustomComboBox::Select()
{
    if (OnSelect)
        OnSelect(this);
    else
        Change();
}

void TCustomComboBox::UserChose(int Index)
{
    if (Index < 0 || Index >= FItems->Count())
        return;
    FItemIndex = Index;
    FEditText = FItems->Strings(Index);
    FText = FEditText;
    Click();
    Select();
}

void TCustomComboBox::UserTyped(const std::string& Text)
{
    FEditText = Text;
    FText = Text;
    FItemIndex = FItems->IndexOf(Text);
    Change();
}

// ---- TCustomListBox -----------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomListBox, TWidgetControl, [](TClassBuilder<TCustomListBox>& b) {
    b.Property("Columns", &TCustomListBox::Columns, &TCustomListBox::SetColumns).Default(0);
    b.Property("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect).Default(false);
    b.Property("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted).Default(false);
    b.Property("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight).Default(13);
    b.Property("Items", &TCustomListBox::Items, &TCustomListBox::SetItems);
    // An index that is out of range reads back as -1.
    b.Property("ItemIndex", &TCustomListBox::ItemIndex, &TCustomListBox::SetItemIndex).Default(-1).NoRoundTrip();
    b.Property("TabStop", &TCustomListBox::TabStop, &TCustomListBox::SetTabStop).Default(true);
    b.Property("Color", &TCustomListBox::Color, &TCustomListBox::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomListBox::ParentColor, &TCustomListBox::SetParentColor).Default(false);
})
QM_CLASS_IMPL(TListBox, TCustomListBox)

TCustomListBox::TCustomListBox(TComponent* AOwner) : TWidgetControl(AOwner), FItems(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 121, 97);
    SetParentColor(false);
    SetColor(clWindow);
    FItems->OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); }, this);
}

TCustomListBox::~TCustomListBox() { FItems->OnChange = nullptr; }

TStrings* TCustomListBox::Items() const { return FItems.get(); }
void TCustomListBox::SetItems(TStrings* v) { FItems->Assign(v); }
int TCustomListBox::Count() const { return FItems->Count(); }

void TCustomListBox::SetItemHeight(int v)
{
    if (v == FItemHeight)
        return;
    FItemHeight = v;
    SyncWidget();
}

// A list widget that lays its columns out again whenever its size changes.
class QmListWidget : public QListWidget {
public:
    std::function<void()> Resized;

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QListWidget::resizeEvent(e);
        if (Resized)
            Resized();
    }
};

QWidget* TCustomListBox::MakeWidget()
{
    auto* l = new QmListWidget;
    l->Resized = [this] { GuardedCall([&] { LayoutColumns(); }); };
    QObject::connect(l, &QListWidget::currentRowChanged, l, [this](int row) { GuardedCall([&] { UserChose(row); }); });
    QObject::connect(l, &QListWidget::itemSelectionChanged, l, [this] { GuardedCall([&] { UserSelection(); }); });
    QObject::connect(l, &QListWidget::itemDoubleClicked, l, [this] { GuardedCall([&] { DblClick(); }); });
    return l;
}

void TCustomListBox::SyncWidget()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l || FSyncing)
        return;
    FSyncing = true;
    QSignalBlocker block(l);
    QSignalBlocker block2(l->selectionModel());
    l->clear();
    for (int i = 0; i < FItems->Count(); ++i)
        l->addItem(new QListWidgetItem(ToQ(FItems->Strings(i))));
    l->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    l->setFlow(QListView::TopToBottom);
    l->setWrapping(FColumns > 0);
    l->setResizeMode(FColumns > 0 ? QListView::Adjust : QListView::Fixed);
    l->setVerticalScrollBarPolicy(FColumns > 0 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    // A column shows what fits of its item's text, as the list box of the desktop draws it.
    l->setTextElideMode(Qt::ElideNone);
    LayoutColumns();
    l->setCurrentRow(FItemIndex, QItemSelectionModel::NoUpdate);
    for (int i = 0; i < FItems->Count(); ++i)
        l->item(i)->setSelected(FMultiSelect ? (i < static_cast<int>(FSelected.size()) && FSelected[i]) : i == FItemIndex);
    FSyncing = false;
}

void TCustomListBox::LayoutColumns()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l)
        return;
    const int rowH = FItemHeight > 0 ? FItemHeight : l->fontMetrics().height();
    QSize cell;
    Qt::ScrollBarPolicy across = Qt::ScrollBarAsNeeded;
    if (FColumns > 0) {
        // The client width shared out among the columns; the items fill each column from the
        // top, and only items beyond the columns shown need the scroll bar, which would
        // otherwise cover the row.
        l->ensurePolished();
        const QRect client = l->contentsRect();
        cell = QSize(std::max(1, client.width() / FColumns), rowH);
        const int rows = std::max(1, client.height() / rowH);
        const int shown = std::max(1, client.width() / cell.width());
        if ((l->count() + rows - 1) / rows <= shown)
            across = Qt::ScrollBarAlwaysOff;
    }
    l->setHorizontalScrollBarPolicy(across);
    l->setGridSize(cell);
    for (int i = 0; i < l->count(); ++i) {
        QListWidgetItem* item = l->item(i);
        item->setSizeHint(cell.isValid() ? cell : QSize(l->fontMetrics().horizontalAdvance(item->text()) + 6, rowH));
    }
}

void TCustomListBox::ItemsChanged()
{
    FSelected.assign(static_cast<size_t>(FItems->Count()), false);
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    SyncWidget();
}

void TCustomListBox::SetItemIndex(int v)
{
    if (v < 0 || v >= FItems->Count())
        v = -1;
    FItemIndex = v;
    if (!FMultiSelect)
        for (size_t i = 0; i < FSelected.size(); ++i)
            FSelected[i] = static_cast<int>(i) == v;
    SyncWidget();
}

void TCustomListBox::SetColumns(int v)
{
    FColumns = std::max(0, v);
    SyncWidget();
}
void TCustomListBox::SetMultiSelect(bool v)
{
    FMultiSelect = v;
    SyncWidget();
}
void TCustomListBox::SetSorted(bool v)
{
    FSorted = v;
    FItems->SetSorted(v);
}

bool TCustomListBox::Selected(int Index) const
{
    if (Index < 0 || Index >= FItems->Count())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    if (!FMultiSelect)
        return Index == FItemIndex;
    return Index < static_cast<int>(FSelected.size()) && FSelected[Index];
}

void TCustomListBox::SetSelected(int Index, bool v)
{
    if (Index < 0 || Index >= FItems->Count())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    if (!FMultiSelect) {
        SetItemIndex(v ? Index : (Index == FItemIndex ? -1 : FItemIndex));
        return;
    }
    FSelected.resize(static_cast<size_t>(FItems->Count()), false);
    FSelected[Index] = v;
    SyncWidget();
}

int TCustomListBox::SelCount() const
{
    if (!FMultiSelect)
        return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::Clear() { FItems->Clear(); }

int TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) const
{
    if (auto* l = qobject_cast<QListWidget*>(Widget())) {
        QModelIndex i = l->indexAt(l->viewport()->mapFrom(l, QPoint(Pos.x, Pos.y)));
        if (i.isValid())
            return i.row();
        return Existing ? -1 : FItems->Count();
    }
    return -1;
}

void TCustomListBox::UserChose(int Index)
{
    if (FSyncing || Index == FItemIndex)
        return;
    FItemIndex = Index;
    Click();
}

void TCustomListBox::UserSelection()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l || FSyncing)
        return;
    FSelected.assign(static_cast<size_t>(FItems->Count()), false);
    for (int i = 0; i < l->count() && i < FItems->Count(); ++i)
        FSelected[i] = l->item(i)->isSelected();
}
