#pragma once
// The frame control: a captioned group box. Controls placed on it are its children and
// are positioned in its own coordinates.

#include "accpac/Controls.h"

class QGroupBox;

namespace accpac::local {

class FrameControl : public accpac::Frame {
    Q_OBJECT
public:
    explicit FrameControl(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QGroupBox* box_;  // drawn under the frame's other children
};

}  // namespace accpac::local
