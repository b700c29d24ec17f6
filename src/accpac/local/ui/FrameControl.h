#pragma once
// The frame control: a rectangle with its caption on the top line, as a captioned group
// of controls. Controls placed on it are its children, positioned in its own coordinates;
// the caption takes no room from them (the top line runs through the caption's middle).

#include <QString>

#include "accpac/Controls.h"

namespace accpac::local {

class FrameControl : public accpac::Frame {
    Q_OBJECT
public:
    explicit FrameControl(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

}  // namespace accpac::local
