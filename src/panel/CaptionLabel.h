#pragma once
// A label whose caption may be longer than the label: it shows as much as fits, ending in
// an ellipsis, and the whole caption as its tooltip. text() is always the whole caption.

#include <QLabel>

namespace lumaro {

class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace lumaro
