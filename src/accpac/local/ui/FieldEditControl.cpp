#include "accpac/local/ui/FieldEditControl.h"

#include <QEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "accpac/Platform.h"
#include "accpac/Twips.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/ErrorDisplayDialog.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"

namespace accpac::local {

using lumaro::RuntimeError;

namespace {

constexpr int kErrInvalidPropertyValue = 380;

// A magnifier: a lens and its handle, drawn in the palette's text colour.
QIcon MagnifierIcon(const QColor& color) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 16.0;
        p.setPen(QPen(color, 1.6 * s));
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawEllipse(QRectF(1.5 * s, 1.5 * s, 9 * s, 9 * s));
        p.setPen(QPen(color, 2.6 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5 * s, 9.5 * s), QPointF(14 * s, 14 * s));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

[[noreturn]] void NotSupported() {
    throw RuntimeError::Standard(accpac::kErrObjectDoesNotSupport, "AccpacFieldEditControl");
}

bool IsNumber(const Variant& v) {
    switch (v.type()) {
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::LongLong:
        case Variant::Type::Double:
            return true;
        default:
            return false;
    }
}

}  // namespace

QString FormatNumber(double value, int decimals) {
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    if (decimals < 0) return locale.toString(value, 'f', QLocale::FloatingPointShortest);
    // The figures of a screen are formatted on every change: an ordinary quantity is
    // written here, digit for digit as the locale writes it, at a fraction of its cost.
    // The two differ only on a value exactly halfway, which the locale rounds away from
    // zero and the standard library to even; such a value has a 5 as its next digit, so
    // every value whose next digit is a 5 is left to the locale, as are very large ones.
    if (decimals < 10 && std::fabs(value) < 1e15) {
        if (value == 0) value = 0;  // a zero shows no sign
        char digits[40];
        auto [end, error] = std::to_chars(digits, digits + sizeof digits, value,
                                          std::chars_format::fixed, decimals + 1);
        if (error == std::errc() && end[-1] != '5') {
            if (end[-1] < '5')  // rounds down: the digit (and a point without decimals) goes
                end -= decimals == 0 ? 2 : 1;
            else
                end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed,
                                    decimals)
                          .ptr;
            const char* const whole = digits + (digits[0] == '-');
            const char* const point = std::find(whole, static_cast<const char*>(end), '.');
            char grouped[56];
            char* out = std::copy(static_cast<const char*>(digits), whole, grouped);
            for (const char* digit = whole; digit < point; ++digit) {
                if (digit != whole && (point - digit) % 3 == 0) *out++ = ',';
                *out++ = *digit;
            }
            out = std::copy(point, static_cast<const char*>(end), out);
            return QString::fromLatin1(grouped, out - grouped);
        }
    }
    return locale.toString(value, 'f', decimals);
}

FieldEditControl::FieldEditControl(accpac::DataSource* source, std::string fieldName,
                                   QWidget* parent)
    : FieldEdit(parent),
      source_(source),
      fieldName_(std::move(fieldName)),
      editor_(new QLineEdit(this)),
      zoomButton_(new QToolButton(this)) {
    SetEditable(false);
    zoomButton_->setIcon(MagnifierIcon(palette().color(QPalette::ButtonText)));
    zoomButton_->setAutoRaise(false);
    zoomButton_->setFocusPolicy(Qt::TabFocus);
    zoomButton_->setToolTip(tr("Zoom"));
    zoomButton_->hide();
    connect(zoomButton_, &QToolButton::clicked, this, [this] {
        if (IsZoomButton() && isEnabled()) emit Clicked();
    });
    connect(editor_, &QLineEdit::editingFinished, this, &FieldEditControl::Commit);
    setFocusProxy(editor_);
    auto* local = qobject_cast<LocalDataSource*>(source);
    if (local && local->View() && !fieldName_.empty()) {
        for (const FieldDefinition& f : local->View()->fields)
            if (lumaro::EqualsIgnoreCase(f.name, fieldName_)) {
                field_ = local->FindField(f.index);
                break;
            }
    }
    if (source_) {
        // Every change of the record (another record, a new one, a field written, the record
        // read again) may change what this control shows.
        connect(source_, &accpac::DataSource::OnRecordChanged, this,
                &FieldEditControl::RecordChanged);
    }
    ApplyLayout();
    Refresh();
}

accpac::Field* FieldEditControl::BoundField() const { return source_ ? field_ : nullptr; }

uint64_t FieldEditControl::FieldWrites() const {
    return source_ && field_ ? field_->WriteCount() : 0;
}

void FieldEditControl::RecordChanged() {
    if (pending_ || (shown_ && FieldWrites() == shownWrites_ && !editor_->isModified())) return;
    // A handler that clears the record and writes its fields shows each field once, with
    // its last value.
    pending_ = true;
    LocalDataSource::WhenEventsHandled(this, [this] {
        if (pending_) Refresh();
    });
}

Variant FieldEditControl::Value() const {
    accpac::Field* field = BoundField();
    return field ? field->Value() : Variant();
}

QString FieldEditControl::DisplayText() const {
    if (pending_) const_cast<FieldEditControl*>(this)->Refresh();
    return editable_ ? editor_->text() : shownText_;
}

void FieldEditControl::Refresh() {
    pending_ = false;
    if (editor_->hasFocus() && editable_ && editor_->isModified())
        return;  // keep what the user is typing
    const uint64_t writes = FieldWrites();
    Variant value;
    try {
        value = Value();
    } catch (const RuntimeError&) {
        value = Variant();
    }
    numeric_ = IsNumber(value);
    QString text;
    if (numeric_) {
        text = FormatNumber(value.ToDouble(), decimals_);
    } else if (!value.IsNull()) {
        try {
            text = QString::fromStdString(value.ToString());
        } catch (const RuntimeError&) {
        }
    }
    const Qt::Alignment alignment =
        numeric_ ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter;
    if (editor_->alignment() != alignment) {
        editor_->setAlignment(alignment);
        if (!editable_) update(FieldRect());
    }
    if (!editable_) {
        // Only painted: a new text costs a repaint of the control, an unchanged one nothing.
        if (shownText_ != text) {
            shownText_ = std::move(text);
            update(FieldRect());
        }
        shownWrites_ = writes;
        shown_ = true;
        return;
    }
    // Setting a line edit's text lays it out again and notifies its observers even when the
    // text is the same: an unchanged text only goes back to the start, as setting it would.
    if (editor_->isModified() || editor_->isUndoAvailable() || editor_->isRedoAvailable() ||
        editor_->text() != text) {
        editor_->setText(text);
        editor_->setCursorPosition(0);
    } else if (editor_->cursorPosition() != 0 || editor_->hasSelectedText()) {
        editor_->setCursorPosition(0);
    }
    editor_->setModified(false);
    shownWrites_ = writes;
    shown_ = true;
}

void FieldEditControl::Commit() {
    if (!editable_ || !editor_->isModified()) return;
    editor_->setModified(false);
    accpac::Field* field = BoundField();
    if (!field) return;
    QString text = editor_->text();
    if (numeric_) text.remove(QLocale(QLocale::English, QLocale::UnitedStates).groupSeparator());
    try {
        field->SetValue(Variant(text.toStdString()));
    } catch (const RuntimeError&) {
        // The field refused the text: the platform's errors are shown, and the field's
        // value comes back.
        Refresh();
        ReportErrors();
        return;
    }
    Refresh();
}

void FieldEditControl::ReportErrors() {
    auto* local = qobject_cast<LocalDataSource*>(source_.data());
    std::shared_ptr<LocalDBLink> link = local ? local->LocalLink() : nullptr;
    if (!link || !link->Errors()) return;
    ShowErrorList(*link->Errors(), QString::fromStdString(link->CompanyID()));
    link->Errors()->Clear();
}

void FieldEditControl::SetEditable(bool editable) {
    const bool was = editable_;
    editable_ = editable;
    editor_->setReadOnly(!editable);
    // A field the user cannot type into is drawn on the window's colour.
    QPalette colours = palette();
    if (!editable) colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    editor_->setPalette(colours);
    // The text moves between the painted display and the line edit.
    if (editable && !was) {
        editor_->setText(shownText_);
        editor_->setCursorPosition(0);
        editor_->setModified(false);
    } else if (!editable && was) {
        shownText_ = editor_->text();
        editor_->setModified(false);
    }
    ApplyLayout();
    update();
}

void FieldEditControl::SetNumberedProperty(int id, const Variant& value) {
    switch (id) {
        case accpac::FieldEditDecimals: {
            int16_t decimals = value.ToInteger();
            if (decimals < 0 || decimals > 15)
                throw RuntimeError(kErrInvalidPropertyValue, "AccpacFieldEditControl",
                                   "Invalid property value");
            decimals_ = decimals;
            Refresh();
            return;
        }
        case accpac::FieldEditZoomStyle:
            zoomStyle_ = value.ToLong();
            ApplyLayout();
            return;
        default:
            NotSupported();
    }
}

Variant FieldEditControl::NumberedProperty(int id) const {
    switch (id) {
        case accpac::FieldEditDecimals:
            return Variant(static_cast<int16_t>(decimals_));
        case accpac::FieldEditZoomStyle:
            return Variant(static_cast<int32_t>(zoomStyle_));
        default:
            NotSupported();
    }
}

void FieldEditControl::Invoke(int operation, const std::vector<Variant>& args) {
    if (operation != accpac::FieldEditSetupZoomButton) NotSupported();
    // Arguments: a reserved number (0), the zoom style (3: a zoom button) and a reserved text.
    if (args.size() != 3)
        throw RuntimeError::Standard(lumaro::kErrInvalidProcedureCall, "AccpacFieldEditControl");
    int32_t style = args[1].ToLong();
    if (style <= 0)
        throw RuntimeError::Standard(lumaro::kErrInvalidProcedureCall, "AccpacFieldEditControl");
    zoomStyle_ = style;
    ApplyLayout();
}

void FieldEditControl::ApplyLayout() {
    const bool hasField = !fieldName_.empty();
    zoomButton_->setVisible(IsZoomButton());
    editor_->setVisible(hasField && editable_);
    const int w = width(), h = height();
    if (IsZoomButton() && hasField) {
        const int buttonWidth = std::min(w, h);
        editor_->setGeometry(0, 0, w - buttonWidth, h);
        zoomButton_->setGeometry(w - buttonWidth, 0, buttonWidth, h);
    } else {
        editor_->setGeometry(0, 0, w, h);
        zoomButton_->setGeometry(0, 0, w, h);
    }
    const int iconSide = std::max(8, std::min(zoomButton_->width(), zoomButton_->height()) - 6);
    zoomButton_->setIconSize(QSize(iconSide, iconSide));
    QWidget* focus = nullptr;
    if (hasField && editable_)
        focus = editor_;
    else if (IsZoomButton())
        focus = zoomButton_;
    setFocusProxy(focus);
    update();
}

QRect FieldEditControl::FieldRect() const {
    if (IsZoomButton()) return QRect(0, 0, width() - std::min(width(), height()), height());
    return rect();
}

void FieldEditControl::paintEvent(QPaintEvent* event) {
    FieldEdit::paintEvent(event);
    if (fieldName_.empty() || editable_) return;
    // Drawn as a read-only line edit: a sunken frame on the window's colour, the text
    // inside the line edit's margins, cut short with an ellipsis when it does not fit.
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = FieldRect();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
    option.palette.setColor(QPalette::Base, option.palette.color(QPalette::Window));
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    QRect text = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    text.adjust(2, 1, -2, -1);  // the line edit's own margins around its text
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, QPalette::Text));
    const Qt::Alignment alignment =
        numeric_ ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter;
    painter.drawText(text, int(alignment), FittedText(text.width()));
}

QString FieldEditControl::FittedText(int width) const {
    const QString fitted = fontMetrics().elidedText(shownText_, Qt::ElideRight, width);
    return numeric_ && fitted != shownText_ ? QStringLiteral("\u2013") : fitted;
}

bool FieldEditControl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTipChange && !toolTip().isEmpty())
        zoomButton_->setToolTip(toolTip());
    return accpac::FieldEdit::event(event);
}

void FieldEditControl::resizeEvent(QResizeEvent* event) {
    FieldEdit::resizeEvent(event);
    ApplyLayout();
}

QSize FieldEditControl::sizeHint() const {
    if (fieldName_.empty()) return QSize(TwipsToPixelsX(270), TwipsToPixelsY(315));
    return editor_->sizeHint();
}

}  // namespace accpac::local
