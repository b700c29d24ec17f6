#pragma once
// The order being entered on the Order Entry screen: its header in the header data
// source (view OE0520), its lines, and the current line in the detail data source (view
// OE0500). The screen drives the two data sources only through this class, which raises
// their record-changed events the way a clerk's actions do:
//
//   NewOrder()      header 2; detail 2 (no lines)
//   OpenOrder(n)    header 0; detail 0 on the first line (2 when the order has none)
//   GoToLine(i)     detail 0 (nothing when i is already the current line)
//   AddLine()       detail 2 (a new line with the default location, made current)
//   DeleteLine(i)   detail 0 on the line now current (2 when no line is left)
//   SetLineValue    detail 0 first when the line is not current, then 7 for the field
//   Save()          header 15, then detail 15 on the current line
//
// Writing a field of the current line through the detail data source itself (field
// SetValue, reason 7) is the same as SetLineValue. The lines of an order are kept in
// this object; the current line lives in the detail data source.

#include <QObject>
#include <string>
#include <vector>

#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/LocalDataSource.h"

namespace accpac::local {

class OrderEntry : public QObject {
    Q_OBJECT
public:
    // Both data sources must be active on DB links of the same company (raises otherwise).
    OrderEntry(LocalDataSource& header, LocalDataSource& detail, QObject* parent = nullptr);
    ~OrderEntry() override;

    void NewOrder();
    // Opens a saved order by its number; false (and nothing changes) when there is none.
    bool OpenOrder(const std::string& orderNumber);

    int LineCount() const { return static_cast<int>(lines_.size()); }
    bool IsListEmpty() const { return lines_.empty(); }
    int CurrentLine() const { return current_; }  // -1 when there is no line
    void GoToLine(int line);                      // raises 9 outside 0..LineCount-1
    int AddLine();                                // returns the new line's index
    void DeleteLine(int line);
    Variant LineValue(int line, int fieldIndex) const;
    void SetLineValue(int line, int fieldIndex, const Variant& value);
    // The order's lines as it was last opened or saved (none for a new order): what the
    // location quantities already hold of it. Raises 9 outside 0..SavedLineCount-1.
    int SavedLineCount() const { return static_cast<int>(savedLines_.size()); }
    Variant SavedLineValue(int line, int fieldIndex) const;
    Variant HeaderValue(int fieldIndex) const;
    void SetHeaderValue(int fieldIndex, const Variant& value);

    // Stores the order (see CompanyDatabase::SaveOrder); lines without an item are
    // dropped. Raises, with the order unchanged, when it cannot be saved. Returns the
    // order number.
    std::string Save();

    // Whether the clerk changed the order since it was started, opened or saved: a field
    // written, a line added or deleted.
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    // The order as entered so far (the current line included).
    Order Current();
    // Shows an order kept unsaved (a saved order's number and key, lines as entered); it
    // counts as modified.
    void ShowUnsaved(const Order& order);

    // The numbers of the saved orders, in order (see CompanyDatabase::OrderNumbers).
    std::vector<std::string> OrderNumbers(const std::string& after = {}, int limit = -1) const;
    CompanyDatabase& Database() const;

signals:
    // The list of lines changed (a line added, deleted, or all lines replaced).
    void LinesChanged();

private:
    using Record = LocalDataSource::Record;
    void StoreCurrentLine();
    void ShowLine(int line, int eReason);
    void CheckLine(int line) const;
    Record NewLineRecord() const;
    Order ToOrder() const;
    void ShowOrder(const Order& order, int eReason, int currentLine);

    LocalDataSource& header_;
    LocalDataSource& detail_;
    std::vector<Record> lines_;
    std::vector<Record> savedLines_;
    int current_ = -1;
    bool modified_ = false;
};

}  // namespace accpac::local
