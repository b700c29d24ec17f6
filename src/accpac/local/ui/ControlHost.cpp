#include "accpac/local/ui/ControlHost.h"

#include <QEvent>

namespace accpac::local {

ControlHost::ControlHost(std::string name, QWidget* parent)
    : ControlExtender(parent), name_(std::move(name)) {
    setObjectName(QString::fromStdString(name_));
}

void ControlHost::SetObject(QObject* object) {
    object_ = object;
    widget_ = qobject_cast<QWidget*>(object);
    if (widget_) {
        widget_->setParent(this);
        widget_->setGeometry(rect());
        widget_->installEventFilter(this);
        widget_->show();
    } else if (object) {
        object->setParent(this);
    }
    if (object && object->metaObject()->indexOfSignal("ObjectEvent(QString,QVariantMap)") >= 0)
        connect(object, SIGNAL(ObjectEvent(QString, QVariantMap)), this,
                SIGNAL(ObjectEvent(QString, QVariantMap)));
}

void ControlHost::resizeEvent(QResizeEvent* event) {
    ControlExtender::resizeEvent(event);
    if (widget_) widget_->setGeometry(rect());
}

bool ControlHost::eventFilter(QObject* watched, QEvent* event) {
    // The inner widget sets its mask when it handles its resize: take it over afterwards.
    if (watched == widget_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show) &&
        !maskPending_) {
        maskPending_ = true;
        QMetaObject::invokeMethod(this, &ControlHost::UpdateMask, Qt::QueuedConnection);
    }
    return ControlExtender::eventFilter(watched, event);
}

void ControlHost::UpdateMask() {
    maskPending_ = false;
    if (widget_ && !widget_->mask().isEmpty())
        setMask(widget_->mask().translated(widget_->pos()));
    else
        clearMask();
}

}  // namespace accpac::local
