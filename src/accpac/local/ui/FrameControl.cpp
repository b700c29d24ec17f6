#include "accpac/local/ui/FrameControl.h"

#include <QPainter>
#include <QStyle>

namespace accpac::local {

FrameControl::FrameControl(QWidget* parent) : Frame(parent) {}

void FrameControl::SetCaption(const std::string& caption) {
    caption_ = QString::fromStdString(caption);
    update();
}

std::string FrameControl::Caption() const { return caption_.toStdString(); }

void FrameControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineY = metrics.height() / 2;
    // An etched line: a dark one with a light one inside it.
    const QRectF box = QRectF(rect()).adjusted(0.5, lineY + 0.5, -1.5, -1.5);
    painter.setPen(palette().color(QPalette::Window).darker(140));
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(box.translated(1, 1));
    if (caption_.isEmpty()) return;
    const int indent = metrics.averageCharWidth();
    const QString text =
        metrics.elidedText(caption_, Qt::ElideRight, std::max(0, width() - 4 * indent));
    const QRect textRect(indent, 0, metrics.horizontalAdvance(text) + indent, metrics.height());
    painter.fillRect(textRect, palette().color(backgroundRole()));
    style()->drawItemText(&painter, textRect, Qt::AlignCenter, palette(), isEnabled(), text,
                          QPalette::WindowText);
}

}  // namespace accpac::local
