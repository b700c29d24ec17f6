#pragma once
// The detail list of the Order Entry screen ("avlOEORDDdetail1"): one row per order line,
// edited in place. The list follows the order's current line and moves it when the user
// moves to another row, so the detail data source always holds the line the user is on.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "accpac/local/OrderEntry.h"

namespace accpac::local {

class OrderLinesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColLine,
        ColItem,
        ColDescription,
        ColLocation,
        ColQuantity,
        ColUnit,
        ColStockItem,
        ColumnCount
    };

    explicit OrderLinesModel(QObject* parent = nullptr);

    // The order shown (nullptr: none) and the decimals of quantities.
    void SetOrder(OrderEntry* order, int quantityDecimals);
    OrderEntry* Order() const { return order_; }
    // The units the line's item is sold in, the stocking unit first; none without an item.
    QStringList UnitsOf(int row) const;
    // Called when the platform refused a value the user entered (its errors are pending).
    void SetErrorHandler(std::function<void()> handler) { onError_ = std::move(handler); }

    static int FieldOf(int column);  // the detail view's field index shown in a column

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Rereads every row (after a field of the current line changed).
    void RefreshRows();
    void Reset();

private:
    OrderEntry* order_ = nullptr;
    int decimals_ = 2;
    std::function<void()> onError_;
};

class DetailListControl : public QTableView {
    Q_OBJECT
public:
    explicit DetailListControl(QWidget* parent = nullptr);

    // True when the order has no line (also when no order is open).
    Q_INVOKABLE QVariant IsListEmpty() const;
    // The order's rows for a program on the screen: the lines as entered (the current one
    // as it is being typed) and the lines as last saved, each field by its detail view
    // index (text or number; null where a line has no value). No rows without an order.
    Q_INVOKABLE QVariant LineCount() const;
    Q_INVOKABLE QVariant LineValue(int line, int field) const;
    Q_INVOKABLE QVariant SavedLineCount() const;
    Q_INVOKABLE QVariant SavedLineValue(int line, int field) const;

    void SetOrder(OrderEntry* order, int quantityDecimals,
                  const std::vector<std::string>& locations);
    OrderLinesModel* Lines() const { return model_; }
    // Makes the order's current line the list's current row (without moving the order).
    void ShowCurrentLine();
    // Starts typing into a cell of a row.
    void EditCell(int row, int column);
    // Writes the cell being typed, if any, and ends its editing.
    void CommitEdit();

signals:
    void AddLineRequested();     // Insert; Enter on the last line's last column, outside an edit
    void DeleteLineRequested();  // Delete, outside an edit
    void ErrorsPending();        // the platform refused a value; its error list holds why

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool AtLastCell() const;  // the last line's last column (the quantity or after)
    void OnCurrentRowChanged(const QModelIndex& current);

    OrderLinesModel* model_;
    bool syncing_ = false;  // the list is following the order, not the user
};

}  // namespace accpac::local
