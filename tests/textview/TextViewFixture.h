#pragma once
// A form holding a style component and a text view with a window, for the view's tests.
#include <gtest/gtest.h>

#include <string>

#include "framework/Forms.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"
#include "framework/ExtCtrls.h"
#include "textview/TextView.h"
#include "TextViewFakes.h"

struct TextViewTest : ::testing::Test {
    void SetUp() override
    {
        InstallTextViewFakes();
        InitForms();
        Application->Initialize();
        RegisterTextViewClasses();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 640, 480);
        Styles = new TViewStyle(Form);
        View = new TTextView(Form);
        View->SetParent(Form);
        View->SetBounds(0, 0, 400, 200);
        View->SetStyle(Styles);
        View->HandleNeeded();
    }
    void TearDown() override
    {
        SetKeyStateDown(VK_CONTROL, false);
        FreeObject(Form);
        DoneForms();
        RemoveTextViewFakes();
    }

    // Width of Text in a style, measured on a canvas of its own.
    int Measure(int StyleNo, const std::string& Text)
    {
        TBitmap b;
        b.SetSize(10, 10);
        ApplyFontInfo(b.Canvas()->Font(), Styles->TextStyles()->Items(StyleNo));
        return b.Canvas()->TextWidth(Text);
    }
    TEXTMETRICA Metrics(int StyleNo)
    {
        TBitmap b;
        b.SetSize(10, 10);
        ApplyFontInfo(b.Canvas()->Font(), Styles->TextStyles()->Items(StyleNo));
        b.Canvas()->TextWidth("");
        TEXTMETRICA tm;
        GetTextMetricsA(b.Canvas()->GetHandle(), &tm);
        return tm;
    }
    std::string PieceText(int i) { return View->DrawItems->Strings(i); }
    TDrawLineInfo* Piece(int i) { return View->Piece(i); }

    void Send(UINT msg, WPARAM wp, int x, int y) { SendMessage(View->Handle(), msg, wp, MAKELPARAM(x, y)); }
    void Drag(int x0, int y0, int x1, int y1)
    {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, x0, y0);
        Send(WM_MOUSEMOVE, MK_LBUTTON, x1, y1);
        Send(WM_LBUTTONUP, 0, x1, y1);
    }
    // Client point of the place before character Offs (1-based) of piece i, mid-height.
    TPoint PointIn(int i, int Offs)
    {
        TDrawLineInfo* p = Piece(i);
        int style = View->LineInfo(p->ItemNo)->StyleNo;
        int x = p->Left + Measure(style, PieceText(i).substr(0, static_cast<size_t>(Offs - 1))) - View->HPos;
        int y = p->Top + p->Height / 2 - View->VPos * View->StepHeight;
        return Point(x, y);
    }
    COLORREF PixelAt(int x, int y)
    {
        HDC dc = GetDC(View->Handle());
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(View->Handle(), dc);
        return c;
    }
    void PaintNow()
    {
        InvalidateRect(View->Handle(), nullptr, TRUE);
        UpdateWindow(View->Handle());
    }

    TForm* Form = nullptr;
    TViewStyle* Styles = nullptr;
    TTextView* View = nullptr;
};
