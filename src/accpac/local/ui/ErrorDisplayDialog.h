#pragma once
// The error display: a dialog listing the errors of a session's error list, each with its
// level and message, and the ErrorDisplay object that shows, clears and adds to the list.

#include <QDialog>
#include <vector>

#include "accpac/Session.h"

class QTreeWidget;

namespace accpac::local {

// The wording of an error level: "Message", "Warning", "Error", "Security", "Severe Error".
QString ErrorLevelText(int level);

class ErrorDisplayDialog : public QDialog {
    Q_OBJECT
public:
    ErrorDisplayDialog(const QString& companyId, const std::vector<accpac::ErrorEntry>& entries,
                       QWidget* parent = nullptr);
    QTreeWidget* List() const { return list_; }

private:
    QTreeWidget* list_;
};

class SessionErrorDisplay : public accpac::ErrorDisplay {
public:
    // Shows the list in a modal dialog; an empty list shows nothing.
    void ShowErrors(accpac::Session& session) override;
    void ClearErrors(accpac::Session& session) override;
    // Records one entry: the level, the message, the first text as its source, the number.
    void AddError(accpac::Session& session, const std::string& objectHandle, int level, const std::string& message,
                  const std::string& text1, const std::string& text2, int32_t number) override;
};

}  // namespace accpac::local
