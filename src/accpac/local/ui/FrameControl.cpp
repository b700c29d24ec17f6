#include "accpac/local/ui/FrameControl.h"

#include <QGroupBox>

namespace accpac::local {

FrameControl::FrameControl(QWidget* parent) : Frame(parent), box_(new QGroupBox(this)) {
    box_->setGeometry(rect());
    box_->lower();
}

void FrameControl::SetCaption(const std::string& caption) { box_->setTitle(QString::fromStdString(caption)); }

std::string FrameControl::Caption() const { return box_->title().toStdString(); }

void FrameControl::resizeEvent(QResizeEvent* event) {
    Frame::resizeEvent(event);
    box_->setGeometry(rect());
    box_->lower();
}

}  // namespace accpac::local
