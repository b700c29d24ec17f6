#pragma once
// Layout is given in twips (1440 to the inch); this is the one conversion to pixels, with
// the screen's logical DPI.

#include <QWidget>

namespace accpac {

int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
int PixelsToTwipsX(int pixels);
int PixelsToTwipsY(int pixels);

struct TwipsRect {
    int left = 0, top = 0, width = 0, height = 0;
};

void SetTwipsGeometry(QWidget* widget, int left, int top, int width, int height);
TwipsRect TwipsGeometry(const QWidget* widget);
void MoveTwips(QWidget* widget, int left, int top);
void ResizeTwips(QWidget* widget, int width, int height);

}  // namespace accpac
