#pragma once
// The platform's controls that the program places on its windows: the field edit
// control, the frame, and the extender of a control added at run time by ProgID.
// Positions and sizes of all widgets are set in twips through Twips.h.

#include <QVariantMap>
#include <QWidget>
#include <string>
#include <vector>

#include "common/Variant.h"

namespace accpac {

using lumaro::Variant;

// Numbered properties and operations of the field edit control.
enum : int {
    FieldEditDecimals = 17,         // display property: decimals shown for a number (16-bit)
    FieldEditZoomStyle = 57,        // property: 0 makes the control a plain, inert control
    FieldEditSetupZoomButton = 60,  // operation (0, 3, ""): makes the control a zoom button
};

class FieldEdit : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~FieldEdit() override;
    virtual Variant Value() const = 0;  // the value shown (the bound field's value)
    virtual void SetNumberedProperty(int id, const Variant& value) = 0;
    virtual Variant NumberedProperty(int id) const = 0;
    virtual void Invoke(int operation, const std::vector<Variant>& args) = 0;
    // Enabled state: QWidget::setEnabled / isEnabled.

signals:
    void Clicked();  // pressed (a zoom button)
};

// The hosted screen's detail list is reached late-bound (CallByName). Its members:
//   IsListEmpty()                  true when the order has no line
//   LineCount(), LineValue(l, f)   the order's lines as entered, field f by its detail
//                                  view index; the current line as it is being typed
//   SavedLineCount(),              the order's lines as last saved (none for a new order):
//   SavedLineValue(l, f)           what the inventory's figures already hold of the order

class Frame : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~Frame() override;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;
};

// The extender of a control added to a window at run time: position, size, visibility
// (as a QWidget), the control's inner object, and every event of the control relayed
// as a name with named parameters.
class ControlExtender : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~ControlExtender() override;
    virtual QObject* Object() const = 0;
    virtual std::string Name() const = 0;

signals:
    void ObjectEvent(const QString& name, const QVariantMap& parameters);
};

}  // namespace accpac
