#include "accpac/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace accpac {

namespace {
constexpr double kTwipsPerInch = 1440.0;

double DpiX() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}
double DpiY() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}
}  // namespace

int TwipsToPixelsX(int twips) {
    return static_cast<int>(std::lround(twips * DpiX() / kTwipsPerInch));
}
int TwipsToPixelsY(int twips) {
    return static_cast<int>(std::lround(twips * DpiY() / kTwipsPerInch));
}
int PixelsToTwipsX(int pixels) {
    return static_cast<int>(std::lround(pixels * kTwipsPerInch / DpiX()));
}
int PixelsToTwipsY(int pixels) {
    return static_cast<int>(std::lround(pixels * kTwipsPerInch / DpiY()));
}

void SetTwipsGeometry(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
                        TwipsToPixelsY(height));
}

TwipsRect TwipsGeometry(const QWidget* widget) {
    QRect r = widget->geometry();
    return {PixelsToTwipsX(r.x()), PixelsToTwipsY(r.y()), PixelsToTwipsX(r.width()),
            PixelsToTwipsY(r.height())};
}

void MoveTwips(QWidget* widget, int left, int top) {
    widget->move(TwipsToPixelsX(left), TwipsToPixelsY(top));
}

void ResizeTwips(QWidget* widget, int width, int height) {
    widget->resize(TwipsToPixelsX(width), TwipsToPixelsY(height));
}

}  // namespace accpac
