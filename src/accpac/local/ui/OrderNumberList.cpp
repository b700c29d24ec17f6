#include "accpac/local/ui/OrderNumberList.h"

#include <algorithm>

namespace accpac::local {

OrderNumberList::OrderNumberList(QObject* parent) : QAbstractListModel(parent) {}

void OrderNumberList::Reset(Reader reader) {
    beginResetModel();
    reader_ = std::move(reader);
    numbers_.clear();
    readUpTo_.clear();
    complete_ = !reader_;
    endResetModel();
    fetchMore({});
}

int OrderNumberList::Add(const QString& number) {
    auto at = std::lower_bound(numbers_.begin(), numbers_.end(), number);
    const int row = static_cast<int>(at - numbers_.begin()) + 1;
    if (at != numbers_.end() && *at == number) return row;
    beginInsertRows({}, row, row);
    numbers_.insert(at, number);
    endInsertRows();
    return row;
}

int OrderNumberList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(numbers_.size()) + 1;
}

QVariant OrderNumberList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (index.row() == 0) return tr("*** NEW ***");
    return index.row() <= numbers_.size() ? numbers_[index.row() - 1] : QVariant();
}

bool OrderNumberList::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !complete_;
}

void OrderNumberList::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    const std::vector<std::string> page = reader_(readUpTo_, kPageSize);
    complete_ = page.size() < static_cast<size_t>(kPageSize);
    if (!page.empty()) readUpTo_ = page.back();
    // Numbers already shown (added by the screen) stay where they are.
    for (const std::string& number : page) Add(QString::fromStdString(number));
}

}  // namespace accpac::local
