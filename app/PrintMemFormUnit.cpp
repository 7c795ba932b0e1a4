#include "app/PrintMemFormUnit.h"

#include "app/FormImage.h"
#include "app/Globals.h"
#include "app/Unit1.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/Grids.h"
#include "framework/Printers.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/ScrollBar.h"
#include "platform/WinReg.h"

#include <algorithm>
#include <charconv>
#include <vector>

TPrintMemForm* PrintMemForm = nullptr;
int GridHeight = 0;

namespace {
constexpr const char* PrinterSettingsKey = "Software\\Quillmere\\PrinterSettings";

constexpr TColor DefaultGridBackground = 16777215;
constexpr TColor DefaultGridText = 8388608;
constexpr TColor DefaultText = 8421376;
constexpr TColor DefaultBackground = 16777215;
constexpr const char* DefaultMainFont = "Arial Black";
constexpr const char* DefaultTableFont = "Arial";

// Space kept free left and right of the tables on the page image.
constexpr int PageMargin = 8;
// Below this size (in points) two tables side by side are too small to read.
constexpr int SmallestSideBySideSize = 6;
// Each print grid holds half the memories below its title row; a menu set with fewer rows
// than that prints as one table.
constexpr int TableRows = MemoryCount / 2;

struct NamedColor {
    const char* Name;
    TColor Color;
};
constexpr NamedColor StandardColors[] = {
    {"Black", clBlack},   {"Maroon", clMaroon}, {"Green", clGreen},   {"Olive", clOlive},
    {"Navy", clNavy},     {"Purple", clPurple}, {"Teal", clTeal},     {"Gray", clGray},
    {"Silver", clSilver}, {"Red", clRed},       {"Lime", clLime},     {"Yellow", clYellow},
    {"Blue", clBlue},     {"Fuchsia", clFuchsia}, {"Aqua", clAqua},   {"White", clWhite},
    {"Money Green", clMoneyGreen}, {"Sky Blue", clSkyBlue}, {"Cream", clCream},
    {"Medium Gray", clMedGray}};

void BuildTColorBox(TClassBuilder<TColorBox>&) {}

void BuildTPrintMemForm(TClassBuilder<TPrintMemForm>& b)
{
#define QM_F(Name) b.Field(#Name, &TPrintMemForm::Name)
    QM_F(CoolBar1); QM_F(ToolBar1); QM_F(PrintButton); QM_F(CancelButton); QM_F(DefaultsButton);
    QM_F(PageControl1); QM_F(TabSheet1); QM_F(MainFontComboBox); QM_F(TabSheet2);
    QM_F(TextColor); QM_F(TabSheet3); QM_F(BackgroundColor); QM_F(TabSheet4);
    QM_F(TableFontComboBox); QM_F(TabSheet5); QM_F(GridTextColor); QM_F(TabSheet6);
    QM_F(GridBackColor); QM_F(TabSheet7); QM_F(Label1); QM_F(Label2); QM_F(Label3);
    QM_F(Label4); QM_F(Label5); QM_F(Label6); QM_F(PrintMemGrid1); QM_F(PrintMemGrid2);
#undef QM_F
#define QM_M(Name) b.Method(#Name, &TPrintMemForm::Name)
    QM_M(DoUpdateAll); QM_M(DefaultsButtonClick); QM_M(PrintButtonClick);
    QM_M(CancelButtonClick); QM_M(FormMouseWheelDown); QM_M(FormMouseWheelUp);
#undef QM_M
}

// A missing value, or a colour that is not a number, gives the default.
TColor ReadColor(TRegistry& reg, bool open, const char* name, TColor def)
{
    if (!open || !reg.ValueExists(name))
        return def;
    const std::string text = reg.ReadString(name);
    long long v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || v < 0 || v > 0xFFFFFF)
        return def;
    return TColor(v);
}

std::string ReadName(TRegistry& reg, bool open, const char* name, const char* def)
{
    if (!open || !reg.ValueExists(name))
        return def;
    return reg.ReadString(name);
}

void FillFonts(TComboBox* box)
{
    box->Items()->Clear();
    for (const std::string& f : ScreenFontNames())
        box->Items()->Add(f);
}

// Exact look-up: a font the system lacks leaves the selector without a selection.
void SelectExact(TComboBox* box, const std::string& name)
{
    int index = -1;
    for (int i = 0; i < box->Items()->Count(); ++i)
        if (box->Items()->Strings(i) == name)
            index = i;
    box->SetItemIndex(index);
}

std::string ComboText(TComboBox* box)
{
    return box->ItemIndex() < 0 ? std::string() : box->Items()->Strings(box->ItemIndex());
}

// The pages of a printout of Pages pages in the order they go out: the range and page set the
// printer set-up chose, last page first when asked.
std::vector<int> PagesToPrint(const TPrinter& printer, int Pages)
{
    const int first = printer.FromPage > 0 ? printer.FromPage : 1;
    const int last = printer.ToPage > 0 ? std::min(printer.ToPage, Pages) : Pages;
    if (first > last)
        throw EPrinter("The printout has no page " + IntToStr(first) + ".");
    std::vector<int> order;
    for (int page = first; page <= last; ++page)
        if (printer.PageSet == PrintPageSet::All || (page % 2 == 1) == (printer.PageSet == PrintPageSet::Odd))
            order.push_back(page);
    if (order.empty())
        throw EPrinter(std::string("The printout has no ") + (printer.PageSet == PrintPageSet::Odd ? "odd" : "even") +
                       " page in the range chosen.");
    if (printer.Reverse)
        std::reverse(order.begin(), order.end());
    return order;
}

// A path too long for its line loses its beginning, never its end: the file's own name stays.
std::string KeepingTheEnd(const std::string& Text, TLabel* Label)
{
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas()->Font()->Assign(Label->Font());
    auto fits = [&](const std::string& t) { return measure.Canvas()->TextWidth(t) <= Label->Width(); };
    if (fits(Text))
        return Text;
    // The fewest characters to drop from the front: widths only shrink as more go.
    std::size_t fewest = 1, most = Text.size();
    while (fewest < most) {
        const std::size_t cut = (fewest + most) / 2;
        if (fits("..." + Text.substr(cut)))
            most = cut;
        else
            fewest = cut + 1;
    }
    return "..." + Text.substr(fewest);
}

void ClearCells(TStringGrid* g)
{
    for (int r = 0; r < g->RowCount(); ++r)
        for (int c = 0; c < g->ColCount(); ++c)
            g->SetCell(c, r, "");
}
} // namespace

// ---- TColorBox ---------------------------------------------------------------------------

QM_CLASS_IMPL(TColorBox, TComboBox, BuildTColorBox)

TColorBox::TColorBox(TComponent* AOwner) : TComboBox(AOwner)
{
    SetStyle(csDropDownList);
    FillColors();
}

void TColorBox::FillColors()
{
    TColor custom = FColors.empty() ? clBlack : FColors.front();
    FColors.clear();
    Items()->Clear();
    FColors.push_back(custom);
    Items()->Add("Custom...");
    for (const NamedColor& c : StandardColors) {
        FColors.push_back(c.Color);
        Items()->Add(c.Name);
    }
}

// A description may have replaced the items; the colour list is the box's own.
void TColorBox::Loaded()
{
    TComboBox::Loaded();
    if (Items()->Count() != int(FColors.size()))
        FillColors();
}

TColor TColorBox::Selected() const
{
    int i = ItemIndex();
    return i >= 0 && i < int(FColors.size()) ? FColors[std::size_t(i)] : clBlack;
}

void TColorBox::SetSelected(TColor Value)
{
    for (std::size_t i = 1; i < FColors.size(); ++i)
        if (FColors[i] == Value) {
            SetItemIndex(int(i));
            return;
        }
    FColors.front() = Value;
    SetItemIndex(0);
}

void TColorBox::Select()
{
    if (ItemIndex() == 0) {
        COLORREF color = COLORREF(FColors.front());
        if (ColorDialogService().ChooseColor(color))
            FColors.front() = TColor(color);
    }
    TComboBox::Select();
}

// ---- TPrintMemForm -----------------------------------------------------------------------

QM_CLASS_IMPL(TPrintMemForm, TForm, BuildTPrintMemForm)

void RegisterPrintMemFormClasses() { RegisterClass(TColorBox::StaticClassInfo()); }

TPrintMemForm::TPrintMemForm(TComponent* AOwner) : TForm(AOwner)
{
    // The description names the colour boxes; their class must be known before it is read.
    RegisterPrintMemFormClasses();
}

TPrintMemForm::~TPrintMemForm() { ForgetGlobal(PrintMemForm, this); }

void TPrintMemForm::setup()
{
    SetScrollPosition(0);
    SetPrintSize(false);
    SetLeft(185);
    SetTop(110);
    CoolBar1->SetVisible(true);
    // The page image scrolls beneath the settings bar, never over it.
    CoolBar1->BringToFront();
    PrintMemGrid1->SetRowCount(TableRows + 1);
    PrintMemGrid2->SetRowCount(TableRows + 1);

    FillFonts(MainFontComboBox);
    FillFonts(TableFontComboBox);

    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    const bool open = reg.OpenKeyReadOnly(PrinterSettingsKey);
    GridBackColor->SetSelected(ReadColor(reg, open, "GridBackground", DefaultGridBackground));
    GridTextColor->SetSelected(ReadColor(reg, open, "GridText", DefaultGridText));
    TextColor->SetSelected(ReadColor(reg, open, "Text", DefaultText));
    BackgroundColor->SetSelected(ReadColor(reg, open, "Background", DefaultBackground));
    SelectExact(MainFontComboBox, ReadName(reg, open, "MainFont", DefaultMainFont));
    SelectExact(TableFontComboBox, ReadName(reg, open, "TableFont", DefaultTableFont));
    reg.CloseKey();

    PageControl1->SetActivePageIndex(0);
    ClearCells(PrintMemGrid1);
    ClearCells(PrintMemGrid2);
    PrintMemGrid1->SetVisible(true);
    PrintMemGrid2->SetVisible(true);
    Label2->SetCaption("Version: " QM_VERSION);
    Label3->SetCaption(ShownFileName(CurrentFileName));
    Label3->SetVisible(!CurrentFileName.empty());

    if (PrintTable == TPrintTable::Memories) {
        TStringGrid* mem = Form1->MemGrid;
        FTableFontSize = mem->Font()->GetSize();
        for (TStringGrid* g : {PrintMemGrid1, PrintMemGrid2}) {
            g->Font()->Assign(mem->Font());
            for (int c = mcMemory; c <= mcDescription; ++c) {
                g->SetColWidth(c, mem->ColWidth(c));
                g->SetCell(c, 0, mem->GetCell(c, 0));
            }
        }
        for (int r = 1; r <= TableRows; ++r)
            for (int c = mcMemory; c <= mcDescription; ++c) {
                PrintMemGrid1->SetCell(c, r, mem->GetCell(c, r));
                PrintMemGrid2->SetCell(c, r, mem->GetCell(c, r + TableRows));
            }
    } else {
        // The grids keep their font; only a size made smaller to fit an earlier page is undone.
        if (FTableFontSize == 0)
            FTableFontSize = PrintMemGrid1->Font()->GetSize();
        TStringGrid* menu = Form1->MenuGrid;
        const int n = menu->RowCount();
        if (n < TableRows) {
            PrintMemGrid1->SetRowCount(std::max(n, 1));
            for (int r = 0; r < n; ++r)
                for (int c = mnNumber; c <= mnCode; ++c)
                    PrintMemGrid1->SetCell(c, r, menu->GetCell(c, r));
        } else {
            const int h = n / 2;
            // A larger menu set than the grids hold grows them rather than losing entries.
            if (h > TableRows) {
                PrintMemGrid1->SetRowCount(h + 1);
                PrintMemGrid2->SetRowCount(h + 1);
            }
            for (int c = mnNumber; c <= mnCode; ++c) {
                PrintMemGrid1->SetCell(c, 0, menu->GetCell(c, 0));
                PrintMemGrid2->SetCell(c, 0, menu->GetCell(c, 0));
            }
            for (int r = 1; r <= h; ++r)
                for (int c = mnNumber; c <= mnCode; ++c) {
                    PrintMemGrid1->SetCell(c, r, menu->GetCell(c, r));
                    PrintMemGrid2->SetCell(c, r, r + h < n ? menu->GetCell(c, r + h) : "");
                }
        }
    }
    PrintMemGrid1->SetRow(0);
    PrintMemGrid1->SetCol(0);
    PrintMemGrid2->SetRow(0);
    PrintMemGrid2->SetCol(0);
}

// Row heights, the grids' height and the width of every shown column, in the table font as
// Label5 shows it; gives the width W of one table.
int TPrintMemForm::MeasureTable(const bool (&Shown)[MemColumnCount])
{
    Label5->Font()->Assign(PrintMemGrid1->Font());
    Label5->SetCaption("abcdefghijklmnopqrstuvwxyz1234567890");
    const int t = Label5->Height();

    for (int r = 0; r < PrintMemGrid1->RowCount(); ++r) {
        PrintMemGrid1->SetRowHeight(r, t + 2);
        if (r < PrintMemGrid2->RowCount())
            PrintMemGrid2->SetRowHeight(r, t + 2);
    }
    GridHeight = PrintMemGrid1->RowCount() * (t + 3);
    PrintMemGrid1->SetHeight(GridHeight);
    PrintMemGrid2->SetHeight(GridHeight);
    // The scroll bar, when the page needs one, narrows the room the tables have.
    UpdateScrollBar();

    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas()->Font()->Assign(Label5->Font());
    int W = 10;
    for (int c = 0; c < MemColumnCount; ++c) {
        int width = 0;
        if (Shown[c]) {
            for (TStringGrid* g : {PrintMemGrid1, PrintMemGrid2})
                for (int r = 0; r < g->RowCount(); ++r)
                    width = std::max(width, measure.Canvas()->TextWidth(g->GetCell(c, r)));
            width += 5;
        }
        PrintMemGrid1->SetColWidth(c, width);
        W += width;
    }
    for (int c = 0; c < MemColumnCount; ++c)
        PrintMemGrid2->SetColWidth(c, PrintMemGrid1->ColWidth(c));
    PrintMemGrid1->SetWidth(W);
    PrintMemGrid2->SetWidth(W);
    return W;
}

void TPrintMemForm::SetTableFontSize(int Size)
{
    PrintMemGrid1->Font()->SetSize(Size);
    PrintMemGrid2->Font()->SetSize(Size);
}

void TPrintMemForm::DoUpdateAll(TObject*)
{
    for (int c = 0; c < MemColumnCount; ++c)
        PrintMemGrid1->SetColWidth(c, 10);

    SetColor(BackgroundColor->Selected());
    const std::string mainFont = ComboText(MainFontComboBox);
    for (TLabel* l : {Label1, Label2, Label3, Label4, Label6}) {
        l->Font()->SetColor(TextColor->Selected());
        l->Font()->SetName(mainFont);
    }
    Label3->SetCaption(KeepingTheEnd(ShownFileName(CurrentFileName), Label3));

    const std::string tableFont = TableFontComboBox->GetText();
    for (TStringGrid* g : {PrintMemGrid1, PrintMemGrid2}) {
        g->SetColor(GridBackColor->Selected());
        g->Font()->SetColor(GridTextColor->Selected());
        g->Font()->SetName(tableFont);
    }
    if (FTableFontSize > 0)
        SetTableFontSize(FTableFontSize);

    bool shown[MemColumnCount];
    for (int c = 0; c < MemColumnCount; ++c) {
        if (PrintTable == TPrintTable::Memories) {
            shown[c] = true;
            if (c == mcTxFreq || c == mcTxMode)
                shown[c] = Form1->SplitData_Setting->Checked();
            else if (c == mcTone)
                shown[c] = Form1->ToneNumber_Setting->Checked();
            else if (c == mcLockOut)
                shown[c] = Form1->MemoryLockout_Setting->Checked();
            else if (c == mcDescription)
                shown[c] = Form1->Description_Setting->Checked();
        } else {
            shown[c] = c < mnCode || (c == mnCode && Form1->MenuValue_setting->Checked());
        }
    }
    int W = MeasureTable(shown);

    // The page image is the window's client area: every table has to fit inside its width.
    // Tables too wide are set in a smaller font; two halves that would become too small to
    // read side by side go on two pages instead.
    const int F = ClientWidth();
    enum { SideBySide, Centred, TwoPages } layout;
    if (PrintTable == TPrintTable::Memories)
        layout = W <= 360 ? SideBySide : TwoPages;
    else
        layout = Form1->MenuGrid->RowCount() < TableRows ? Centred : SideBySide;
    const int base = PrintMemGrid1->Font()->GetSize();
    auto fits = [&] { return (layout == SideBySide ? 2 * W + 3 * PageMargin : W + 2 * PageMargin) <= F; };
    auto shrink = [&](int smallest) {
        for (int size = base; !fits() && size > smallest;) {
            const int needed = layout == SideBySide ? 2 * W + 3 * PageMargin : W + 2 * PageMargin;
            size = std::max(smallest, std::min(size - 1, size * F / needed));
            SetTableFontSize(size);
            W = MeasureTable(shown);
        }
    };
    if (layout == SideBySide) {
        shrink(std::min(base, SmallestSideBySideSize));
        if (!fits()) {
            layout = TwoPages;
            SetTableFontSize(base);
            W = MeasureTable(shown);
        }
    }
    shrink(1);

    FLayoutWidth = F;
    FSingleLeft = (F - W) / 2;
    FPages = layout == TwoPages ? 2 : 1;
    Label6->SetCaption(FPages == 2 ? "Page 1/2" : "Page 1/1");
    TabSheet7->SetCaption(FPages == 2 ? "1 of 2 pages" : "1 page");
    if (layout == SideBySide) {
        PrintMemGrid2->SetVisible(true);
        const int g = (F - W - W) / 3;
        PrintMemGrid1->SetLeft(g);
        PrintMemGrid2->SetLeft(2 * g + W);
    } else {
        PrintMemGrid2->SetVisible(false);
        PrintMemGrid1->SetLeft(FSingleLeft);
    }

    Label4->SetCaption("Printed Date: " + DateToStr(Now()));
    const int shift = -FScroll;
    Label4->SetTop(GridHeight + 170 + shift);
    Label6->SetTop(GridHeight + 190 + shift);

    SetScrollPosition(0);
    if (Visible() && PageControl1->CanFocus())
        PageControl1->SetFocus();
    SavePrinterSettings();
}

void TPrintMemForm::SavePrinterSettings()
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKey(PrinterSettingsKey, true))
        return;
    reg.WriteString("GridBackground", IntToStr(int(GridBackColor->Selected())));
    reg.WriteString("GridText", IntToStr(int(GridTextColor->Selected())));
    reg.WriteString("Text", IntToStr(int(TextColor->Selected())));
    reg.WriteString("Background", IntToStr(int(BackgroundColor->Selected())));
    reg.WriteString("MainFont", Label1->Font()->GetName());
    reg.WriteString("TableFont", PrintMemGrid1->Font()->GetName());
    reg.CloseKey();
}

// On screen the window has a fixed size; for printing it takes the size of the whole page.
void TPrintMemForm::SetPrintSize(bool Printing)
{
    if (Printing) {
        Constraints()->SetMinHeight(0);
        Constraints()->SetMaxHeight(0);
        SetHeight(GridHeight + 238);
        SetClientHeight(GridHeight + 210);
    } else {
        Constraints()->SetMinHeight(0);
        Constraints()->SetMaxHeight(0);
        SetHeight(600);
        Constraints()->SetMinHeight(600);
        Constraints()->SetMaxHeight(600);
    }
    UpdateScrollBar();
}

// One page image, laid out for printing and drawn on the printer's current page.
void TPrintMemForm::PrintPage(TPrinter* Printer)
{
    CoolBar1->SetVisible(false);
    SetBorderStyle(bsDialog);
    SetScrollPosition(0);
    SetPrintSize(true);
    // The page is as wide as the layout: the scroll bar it was laid out beside is gone now.
    if (!DrawFormImage(this, Printer->Canvas(), Printer->PageWidth(), Printer->PageHeight(), FLayoutWidth))
        throw EPrinter("The page image could not be drawn.");
}

// The second page shows the right-hand table where the first showed the left-hand one.
void TPrintMemForm::ShowPage(int Page)
{
    if (FPages < 2)
        return;
    const bool second = Page == 2;
    SetLeft(185);
    SetTop(110);
    Label6->SetCaption(second ? "Page 2/2" : "Page 1/2");
    PrintMemGrid1->SetVisible(!second);
    PrintMemGrid2->SetVisible(second);
    (second ? PrintMemGrid2 : PrintMemGrid1)->SetLeft(FSingleLeft);
}

void TPrintMemForm::DoPrint()
{
    TPrinter* printer = Printer();
    printer->Title = "Quillmere";
    const std::vector<int> order = PagesToPrint(*printer, FPages);
    printer->BeginPrintout(int(order.size()));
    // The copies the printout draws itself go out page by page in the order asked for: into
    // the one file as its pages, to a printer each page as a job of its own.
    const int drawn = printer->DrawnCopies();
    const bool collate = printer->Collate;
    std::vector<int> pages;
    for (int outer = 0; outer < (collate ? drawn : 1); ++outer)
        for (int page : order)
            for (int inner = 0; inner < (collate ? 1 : drawn); ++inner)
                pages.push_back(page);
    try {
        const bool oneFile = printer->ToFile();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            ShowPage(pages[i]);
            if (i == 0) {
                printer->BeginDoc();
            } else if (oneFile) {
                printer->NewPage();
            } else {
                printer->EndDoc();
                printer->BeginDoc();
            }
            PrintPage(printer);
        }
        printer->EndDoc();
        printer->EndPrintout();
    } catch (...) {
        // One printout: a page that failed takes the pages already sent with it.
        printer->Abort();
        SetPrintSize(false);
        throw;
    }
    SetPrintSize(false);
}

void TPrintMemForm::DefaultsButtonClick(TObject*)
{
    PageControl1->SetActivePageIndex(5);
    GridBackColor->SetSelected(DefaultGridBackground);
    PageControl1->SetActivePageIndex(4);
    GridTextColor->SetSelected(DefaultGridText);
    PageControl1->SetActivePageIndex(3);
    SelectExact(TableFontComboBox, DefaultTableFont);
    PageControl1->SetActivePageIndex(2);
    BackgroundColor->SetSelected(DefaultBackground);
    PageControl1->SetActivePageIndex(1);
    TextColor->SetSelected(DefaultText);
    PageControl1->SetActivePageIndex(0);
    SelectExact(MainFontComboBox, DefaultMainFont);
    DoUpdateAll(this);
}

void TPrintMemForm::PrintButtonClick(TObject*) { SetModalResult(mrOk); }
void TPrintMemForm::CancelButtonClick(TObject*) { SetModalResult(mrCancel); }

void TPrintMemForm::FormMouseWheelDown(TObject*, TShiftState, TPoint, bool& Handled)
{
    SetScrollPosition(FScroll + 10);
    Handled = true;
}

void TPrintMemForm::FormMouseWheelUp(TObject*, TShiftState, TPoint, bool& Handled)
{
    SetScrollPosition(FScroll - 10);
    Handled = true;
}

// Scrolling moves the page image (everything below the settings bar) up or down, beneath
// the bar.
void TPrintMemForm::SetScrollPosition(int Value)
{
    const int pageBottom = GridHeight + 210;
    const int most = std::max(0, pageBottom - ClientHeight());
    Value = std::clamp(Value, 0, most);
    const int delta = FScroll - Value;
    if (delta != 0) {
        FScroll = Value;
        for (int i = 0; i < ControlCount(); ++i) {
            TControl* c = Controls(i);
            if (c != CoolBar1)
                c->SetTop(c->Top() + delta);
        }
    }
    UpdateScrollBar();
}

// The scroll bar spans the whole page image and shows only while part of it is out of view.
void TPrintMemForm::UpdateScrollBar()
{
    if (!HandleAllocated())
        return;
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = GridHeight + 210 - 1;
    info.nPage = UINT(std::max(0, ClientHeight()));
    info.nPos = FScroll;
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    // A bar that appeared or went changed the client height: the range follows it.
    if (info.nPage != UINT(std::max(0, ClientHeight()))) {
        info.nPage = UINT(std::max(0, ClientHeight()));
        SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    }
}

void TPrintMemForm::WMVScroll(TMessage& M)
{
    const int page = std::max(10, ClientHeight() - CoolBar1->Height());
    int pos = FScroll;
    switch (int(LOWORD(M.WParam))) {
    case SB_LINEUP: pos -= 10; break;
    case SB_LINEDOWN: pos += 10; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = GridHeight + 210; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(Handle(), SB_VERT, &info);
        pos = info.nTrackPos;
        break;
    }
    default: return;
    }
    SetScrollPosition(pos);
}
