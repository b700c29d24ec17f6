#pragma once
// The field edit control: shows one field of a data source's current record. Numbers are
// right-aligned with the decimals of display property 17. Operation 60 turns the control
// into a zoom button (a magnifier that raises Clicked); property 57 is the zoom style, and
// 0 leaves a plain control without a zoom button, which ignores presses.
// A control that only shows (not editable) paints its text itself in a sunken read-only
// frame, so that showing a new value does not lay out a line edit; an editable control
// types into a line edit.

#include <QPointer>
#include <cstdint>
#include <string>

#include "accpac/Controls.h"
#include "accpac/DataSource.h"

class QLineEdit;
class QToolButton;

namespace accpac::local {

class LocalField;

class FieldEditControl : public accpac::FieldEdit {
    Q_OBJECT
public:
    // Binds to the field of that name of a local platform data source's view (names
    // ignore case); "" binds the control to the data source without a field (a zoom button).
    FieldEditControl(accpac::DataSource* source, std::string fieldName, QWidget* parent = nullptr);

    Variant Value() const override;
    void SetNumberedProperty(int id, const Variant& value) override;
    Variant NumberedProperty(int id) const override;
    void Invoke(int operation, const std::vector<Variant>& args) override;

    const std::string& FieldName() const { return fieldName_; }
    // Lets the user type into the control; the text is written to the field when editing
    // ends (Enter or leaving the control). A refused text shows the platform's errors and
    // the field's value again. Off by default: the control only shows.
    void SetEditable(bool editable);
    bool IsZoomButton() const { return zoomStyle_ != 0; }
    // The text shown. During a cascade of record-changed events (see
    // LocalDataSource::WhenEventsHandled) the control shows the field's value once the
    // cascade has been handled; asked before that, it shows the value first.
    QString DisplayText() const;
    // The text as painted into width pixels: cut with an ellipsis when it does not fit,
    // except a number, which is never shown cut: a dash stands for one that does not fit.
    QString FittedText(int width) const;
    // Reads the bound field again and shows it.
    void Refresh();
    // Writes what the user typed, if anything, to the field (as when editing ends).
    void Commit();

    QLineEdit* Editor() const { return editor_; }
    QToolButton* ZoomButton() const { return zoomButton_; }

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;  // a tooltip set on the control is its zoom button's
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    accpac::Field* BoundField() const;
    // The bound field's write count (0 without a field): what is shown is current while it
    // stays the one shown.
    uint64_t FieldWrites() const;
    // After a record-changed event: shows the field again when it was written since it was
    // last shown (whatever the event's reason or field: a verified write may fill other
    // fields too), or when the user's typing is to be replaced; once per cascade of events.
    void RecordChanged();
    void ReportErrors();
    void ApplyLayout();
    // The part of the control that shows the field (left of a zoom button).
    QRect FieldRect() const;

    QPointer<accpac::DataSource> source_;
    std::string fieldName_;
    LocalField* field_ = nullptr;  // the bound field of source_, found once
    uint64_t shownWrites_ = 0;
    bool shown_ = false;    // the text shows the field as of shownWrites_
    bool pending_ = false;  // to be shown again when the events being handled end
    int decimals_ = -1;     // property 17; -1 shows numbers as they come
    int zoomStyle_ = 0;     // property 57; 0 no zoom button
    bool editable_ = false;
    bool numeric_ = false;  // the value shown is a number
    QString shownText_;     // the text shown while the control only shows
    QLineEdit* editor_;
    QToolButton* zoomButton_;
};

// Text of a number with thousands separators and the given decimals (-1: as many as it has).
QString FormatNumber(double value, int decimals);

}  // namespace accpac::local
