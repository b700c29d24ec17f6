#include "accpac/local/ui/DetailList.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSqlQuery>
#include <QStyledItemDelegate>
#include <QValidator>

#include "accpac/Twips.h"
#include "accpac/local/ui/FieldEditControl.h"
#include "common/RuntimeError.h"

namespace accpac::local {

namespace {

// Accepts the beginning of one of the company's locations (any case); blank is accepted
// (a line of a non-stock item needs none).
class LocationValidator : public QValidator {
public:
    LocationValidator(const QStringList& locations, QObject* parent)
        : QValidator(parent), locations_(locations) {}
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        const QString text = input.trimmed();
        if (text.isEmpty() || locations_.contains(text)) return Acceptable;
        for (const QString& l : locations_)
            if (l.startsWith(text)) return Intermediate;
        return Invalid;
    }

private:
    QStringList locations_;
};

// Editors of the cells: item numbers in upper case, locations from the company's list,
// quantities as numbers, units from the line's item's units. The current cell has a focus
// frame.
class LineDelegate : public QStyledItemDelegate {
public:
    LineDelegate(const std::vector<std::string>& locations, QObject* parent)
        : QStyledItemDelegate(parent) {
        for (const std::string& l : locations) locations_ << QString::fromStdString(l);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!(option.state & QStyle::State_HasFocus)) return;
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        switch (index.column()) {
            case OrderLinesModel::ColLocation: {
                auto* combo = new QComboBox(parent);
                combo->setEditable(true);
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->addItems(locations_);
                combo->setValidator(new LocationValidator(locations_, combo));
                return combo;
            }
            case OrderLinesModel::ColUnit: {
                auto* combo = new QComboBox(parent);
                combo->addItems(
                    static_cast<const OrderLinesModel*>(index.model())->UnitsOf(index.row()));
                return combo;
            }
            case OrderLinesModel::ColItem: {
                auto* edit = new QLineEdit(parent);
                edit->setMaxLength(24);
                connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
                    const int cursor = edit->cursorPosition();
                    edit->setText(text.toUpper());
                    edit->setCursorPosition(cursor);
                });
                return edit;
            }
            case OrderLinesModel::ColQuantity: {
                auto* edit = new QLineEdit(parent);
                auto* validator = new QDoubleValidator(0, 9999999999.0, 4, edit);
                validator->setNotation(QDoubleValidator::StandardNotation);
                validator->setLocale(QLocale::c());
                edit->setValidator(validator);
                edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                return edit;
            }
            default:
                return QStyledItemDelegate::createEditor(parent, option, index);
        }
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentText(text);
            if (combo->isEditable())
                combo->lineEdit()->selectAll();  // typing replaces the location
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor))
            edit->setText(text);
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor); combo && !combo->isEditable()) {
            if (combo->currentIndex() >= 0)
                model->setData(index, combo->currentText(), Qt::EditRole);
        } else if (combo) {
            const QString location = combo->currentText().trimmed().toUpper();
            if (location.isEmpty() || locations_.contains(location))
                model->setData(index, location, Qt::EditRole);
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor))
            model->setData(index, edit->text(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    QStringList locations_;
};

int Alignment(int column) {
    switch (column) {
        case OrderLinesModel::ColLine:
        case OrderLinesModel::ColQuantity:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case OrderLinesModel::ColStockItem:
            return int(Qt::AlignCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

}  // namespace

// ---- OrderLinesModel ----------------------------------------------------------------------

OrderLinesModel::OrderLinesModel(QObject* parent) : QAbstractTableModel(parent) {}

void OrderLinesModel::SetOrder(OrderEntry* order, int quantityDecimals) {
    beginResetModel();
    order_ = order;
    decimals_ = quantityDecimals;
    endResetModel();
}

int OrderLinesModel::FieldOf(int column) {
    static const int kFields[ColumnCount] = {
        orderdetail::LINENUM,    orderdetail::ITEM, orderdetail::DESC,     orderdetail::LOCATION,
        orderdetail::QTYORDERED, orderdetail::UNIT, orderdetail::STOCKITEM};
    return column >= 0 && column < ColumnCount ? kFields[column] : 0;
}

int OrderLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !order_ ? 0 : order_->LineCount();
}

int OrderLinesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OrderLinesModel::data(const QModelIndex& index, int role) const {
    if (!order_ || !index.isValid()) return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) return Alignment(column);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    Variant value;
    try {
        value = order_->LineValue(index.row(), FieldOf(column));
        switch (column) {
            case ColLine:  // the line's place, as save errors name it
                return QString::number(index.row() + 1);
            case ColQuantity:
                if (role == Qt::EditRole)
                    return QString::fromStdString(lumaro::DoubleToText(value.ToDouble()));
                return FormatNumber(value.ToDouble(), decimals_);
            case ColStockItem:
                return value.IsEmpty() ? QString() : value.ToBool() ? tr("Yes") : tr("No");
            default:
                return QString::fromStdString(value.ToString());
        }
    } catch (const lumaro::RuntimeError&) {
        return {};
    }
}

QVariant OrderLinesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return Alignment(section);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case ColLine:
            return tr("Line");
        case ColItem:
            return tr("Item Number");
        case ColDescription:
            return tr("Description");
        case ColLocation:
            return tr("Location");
        case ColQuantity:
            return tr("Qty. Ordered");
        case ColUnit:
            return tr("Unit");
        case ColStockItem:
            return tr("Stock Item");
        default:
            return {};
    }
}

Qt::ItemFlags OrderLinesModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    switch (index.column()) {
        case ColItem:
        case ColDescription:
        case ColLocation:
        case ColQuantity:
        case ColUnit:
            f |= Qt::ItemIsEditable;
            break;
        default:
            break;
    }
    return f;
}

bool OrderLinesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!order_ || !index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString();
    if (text == data(index, Qt::EditRole).toString())
        return true;  // nothing typed: nothing written
    try {
        order_->SetLineValue(index.row(), FieldOf(index.column()), Variant(text.toStdString()));
    } catch (const lumaro::RuntimeError&) {
        RefreshRows();
        if (onError_) onError_();
        return false;
    }
    RefreshRows();
    return true;
}

QStringList OrderLinesModel::UnitsOf(int row) const {
    QStringList units;
    if (!order_) return units;
    try {
        // The stored number, or the number as typed while the line has not been checked.
        const auto text = [&](int field) {
            return QString::fromStdString(order_->LineValue(row, field).ToString()).trimmed();
        };
        QSqlQuery q = order_->Database().Exec(
            "SELECT u.UNIT FROM ICITEMU u JOIN ICITEM i ON i.ITEMNO = u.ITEMNO WHERE i.ITEMNO = ? "
            "OR (? = '' AND i.FMTITEMNO = ?) ORDER BY u.CONVERSION, u.UNIT",
            {text(orderdetail::ITEMNO), text(orderdetail::ITEMNO), text(orderdetail::ITEM)});
        while (q.next()) units << q.value(0).toString();
    } catch (const lumaro::RuntimeError&) {
        units.clear();  // a line without a readable item offers no unit
    }
    return units;
}

void OrderLinesModel::RefreshRows() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void OrderLinesModel::Reset() {
    beginResetModel();
    endResetModel();
}

// ---- DetailListControl --------------------------------------------------------------------

DetailListControl::DetailListControl(QWidget* parent)
    : QTableView(parent), model_(new OrderLinesModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setAlternatingRowColors(true);
    setTabKeyNavigation(false);  // Tab leaves the list
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(TwipsToPixelsY(330));
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(OrderLinesModel::ColDescription, QHeaderView::Stretch);
    const struct {
        int column, twips;
    } widths[] = {{OrderLinesModel::ColLine, 700},      {OrderLinesModel::ColItem, 1800},
                  {OrderLinesModel::ColLocation, 1200}, {OrderLinesModel::ColQuantity, 1500},
                  {OrderLinesModel::ColUnit, 800},      {OrderLinesModel::ColStockItem, 1300}};
    for (const auto& w : widths) setColumnWidth(w.column, TwipsToPixelsX(w.twips));
    model_->SetErrorHandler([this] { emit ErrorsPending(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { OnCurrentRowChanged(current); });
}

QVariant DetailListControl::IsListEmpty() const {
    OrderEntry* order = model_->Order();
    return QVariant(!order || order->IsListEmpty());
}

namespace {

QVariant ToQVariant(const Variant& value) {
    if (value.IsNull() || value.IsEmpty()) return {};
    if (value.type() == Variant::Type::String) return QString::fromStdString(value.ToString());
    return value.ToDouble();
}

}  // namespace

QVariant DetailListControl::LineCount() const {
    OrderEntry* order = model_->Order();
    return order ? order->LineCount() : 0;
}

QVariant DetailListControl::LineValue(int line, int field) const {
    OrderEntry* order = model_->Order();
    return order ? ToQVariant(order->LineValue(line, field)) : QVariant();
}

QVariant DetailListControl::SavedLineCount() const {
    OrderEntry* order = model_->Order();
    return order ? order->SavedLineCount() : 0;
}

QVariant DetailListControl::SavedLineValue(int line, int field) const {
    OrderEntry* order = model_->Order();
    return order ? ToQVariant(order->SavedLineValue(line, field)) : QVariant();
}

void DetailListControl::SetOrder(OrderEntry* order, int quantityDecimals,
                                 const std::vector<std::string>& locations) {
    QAbstractItemDelegate* previous = itemDelegate();
    setItemDelegate(new LineDelegate(locations, this));
    delete previous;
    model_->SetOrder(order, quantityDecimals);
    if (!order) return;
    connect(order, &OrderEntry::LinesChanged, this, [this] {
        model_->Reset();
        ShowCurrentLine();
    });
    ShowCurrentLine();
}

void DetailListControl::ShowCurrentLine() {
    OrderEntry* order = model_->Order();
    if (!order) return;
    const int line = order->CurrentLine();
    model_->RefreshRows();
    if (line < 0 || line == currentIndex().row()) return;
    syncing_ = true;
    const int column =
        currentIndex().isValid() ? currentIndex().column() : OrderLinesModel::ColItem;
    setCurrentIndex(model_->index(line, column));
    syncing_ = false;
}

void DetailListControl::EditCell(int row, int column) {
    const QModelIndex index = model_->index(row, column);
    if (!index.isValid()) return;
    setCurrentIndex(index);
    scrollTo(index);
    edit(index);
}

void DetailListControl::CommitEdit() {
    if (state() != QAbstractItemView::EditingState) return;
    // The open editor is the viewport's visible child.
    for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!editor->isVisible()) continue;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        return;
    }
}

void DetailListControl::OnCurrentRowChanged(const QModelIndex& current) {
    OrderEntry* order = model_->Order();
    if (syncing_ || !order || !current.isValid() || current.row() == order->CurrentLine()) return;
    try {
        order->GoToLine(current.row());
    } catch (const lumaro::RuntimeError&) {
        emit ErrorsPending();
    }
}

bool DetailListControl::AtLastCell() const {
    return currentIndex().isValid() && currentIndex().row() == model_->rowCount() - 1 &&
           currentIndex().column() >= OrderLinesModel::ColQuantity;
}

void DetailListControl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // Tab and Shift+Tab in a cell write it and leave the list.
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool leave = next || hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, leave ? QAbstractItemDelegate::NoHint : hint);
    if (leave) focusNextPrevChild(next);
}

void DetailListControl::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && AtLastCell()) {
            emit AddLineRequested();
            return;
        }
        if (event->key() == Qt::Key_Insert) {
            emit AddLineRequested();
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            emit DeleteLineRequested();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

}  // namespace accpac::local
