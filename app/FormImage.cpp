#include "app/FormImage.h"

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "platform/Gdi.h"
#include "platform/QtWindow.h"

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace {
QImage ClientImage(TWinControl* Control)
{
    QWidget* widget = Control ? WindowWidget(Control->Handle()) : nullptr;
    if (!widget)
        return QImage();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}
} // namespace

bool DrawFormImage(TWinControl* Control, TCanvas* Canvas, int Width, int Height)
{
    QImage image = ClientImage(Control);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 || Width <= 0 || Height <= 0)
        return false;
    // Fit to the page, keeping the proportions.
    const double scale = std::min(double(Width) / image.width(), double(Height) / image.height());
    const int w = std::max(1, int(image.width() * scale));
    const int h = std::max(1, int(image.height() * scale));
    HDC src = CreateDCOnImage(&image);
    SetStretchBltMode(Canvas->GetHandle(), HALFTONE);
    BOOL ok = StretchBlt(Canvas->GetHandle(), 0, 0, w, h, src, 0, 0, image.width(), image.height(),
                         SRCCOPY);
    DeleteDC(src);
    return ok != FALSE;
}

bool SaveFormImage(TWinControl* Control, const std::string& FileName)
{
    QImage image = ClientImage(Control);
    return !image.isNull() && image.save(QString::fromStdString(FileName));
}
