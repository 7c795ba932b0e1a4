#pragma once
// Shared helpers of the control tests: simulated user input sent to a widget, fixtures that
// keep a form for the controls under test or collect message boxes, and reading ink from a grab.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "framework/Forms.h"
#include "framework/StdCtrls.h"

// Simulated input: the events a user's keys and clicks produce, sent to the widget.
namespace sim {
inline QString KeyText(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar('a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar('0' + (key - Qt::Key_0)));
    if (key == Qt::Key_Return)
        return QString("\r");
    if (key == Qt::Key_Escape)
        return QString(QChar(27));
    return QString();
}
inline void keyClick(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, KeyText(key));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, KeyText(key));
    QApplication::sendEvent(w, &release);
}
inline void keyClicks(QWidget* w, const char* text)
{
    for (const char* p = text; *p; ++p) {
        int key = *p >= 'a' && *p <= 'z' ? Qt::Key_A + (*p - 'a') : Qt::Key_0 + (*p - '0');
        keyClick(w, key);
    }
}
inline void mouse(QWidget* w, QEvent::Type t, QPoint p)
{
    QMouseEvent e(t, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::LeftButton,
                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void mouseClick(QWidget* w, QPoint p = QPoint(-1, -1))
{
    if (p.x() < 0)
        p = QPoint(8, w->height() / 2);
    mouse(w, QEvent::MouseButtonPress, p);
    mouse(w, QEvent::MouseButtonRelease, p);
}
inline void mouseDClick(QWidget* w, QPoint p)
{
    mouse(w, QEvent::MouseButtonPress, p);
    mouse(w, QEvent::MouseButtonRelease, p);
    mouse(w, QEvent::MouseButtonDblClick, p);
    mouse(w, QEvent::MouseButtonRelease, p);
}
} // namespace sim

namespace stdtest {

// A new control of the class in the parent, which also owns it, at its top left corner.
template <class C> C* Child(TWinControl* parent, int width, int height)
{
    auto* c = new C(parent);
    c->SetParent(parent);
    c->SetBounds(0, 0, width, height);
    return c;
}

// A fresh application with the standard classes registered and one form, not yet shown, that
// owns the controls under test.
struct FormEnv : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        RegisterStdControlsClasses();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 400, 300);
    }
    void TearDown() override
    {
        FreeObject(Form);
        DoneForms();
    }
    template <class T> T* Make()
    {
        T* c = new T(Form);
        c->SetParent(Form);
        return c;
    }

    TForm* Form = nullptr;
};

// The same with the form shown.
struct ShownFormEnv : FormEnv {
    void SetUp() override
    {
        FormEnv::SetUp();
        Form->Show();
        QApplication::processEvents();
    }
};

// A fresh application whose message boxes are answered OK and their texts kept.
struct MessageBoxEnv : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        SetMessageBoxService([this](const std::string& t, const std::string&, UINT) {
            boxes.push_back(t);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxService(nullptr);
        DoneForms();
    }
    std::vector<std::string> boxes;
};

// Columns of a box in a grabbed image that hold dark (text) pixels: {first, last}, or
// {-1, -1} when there are none.
inline std::pair<int, int> InkColumns(const QImage& img, const TRect& box)
{
    int first = -1, last = -1;
    for (int x = box.left; x < box.right; ++x)
        for (int y = box.top; y < box.bottom; ++y)
            if (img.pixelColor(x, y).lightness() < 100) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}
inline std::pair<int, int> InkColumns(const QImage& img)
{
    return InkColumns(img, TRect{0, 0, img.width(), img.height()});
}

} // namespace stdtest
