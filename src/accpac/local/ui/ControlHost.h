#pragma once
// The extender of a control added to a window by ProgID: it holds the control's inner
// object (a widget fills the extender), relays the inner object's ObjectEvent(name,
// parameters) signal as its own, and takes over the inner widget's mask, so that the
// window's controls under an empty part of the control stay reachable.

#include <QPointer>

#include "accpac/Controls.h"

namespace accpac::local {

class ControlHost : public accpac::ControlExtender {
    Q_OBJECT
public:
    ControlHost(std::string name, QWidget* parent);

    // Takes the inner object (made a child of the host).
    void SetObject(QObject* object);
    QObject* Object() const override { return object_; }
    std::string Name() const override { return name_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateMask();

    std::string name_;
    QPointer<QObject> object_;
    QPointer<QWidget> widget_;
    bool maskPending_ = false;
};

}  // namespace accpac::local
