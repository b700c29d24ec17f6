#pragma once
// The choices of the Order Entry screen's order number box: "*** NEW ***" first, then the
// numbers of the saved orders in order. The numbers are read a page at a time, as the
// list is scrolled to its end, so that the screen opens as fast with a hundred thousand
// orders as with a few; a number the screen shows (an order opened or just saved) is put
// in its place at once, without reading the list again.

#include <QAbstractListModel>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace accpac::local {

class OrderNumberList : public QAbstractListModel {
    Q_OBJECT
public:
    // Reads up to `limit` numbers after `after` ("" : from the first), in order.
    using Reader = std::function<std::vector<std::string>(const std::string& after, int limit)>;
    static constexpr int kPageSize = 100;

    explicit OrderNumberList(QObject* parent = nullptr);

    // Starts the list again on the reader (empty: no saved orders) and reads its first page.
    void Reset(Reader reader);
    // The row of a number, added in its place when it is not in the list yet.
    int Add(const QString& number);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    Reader reader_;
    QStringList numbers_;   // in order
    std::string readUpTo_;  // the last number read from the database
    bool complete_ = true;  // every number has been read
};

}  // namespace accpac::local
