#pragma once
// The error display's dialog: the entries of an error list, each with its level and its
// message. The platform's error display object (LocalErrorDisplay) shows a session's list
// through ShowSessionErrors.

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

// Shows the entries of the list in a modal dialog (through RunModal); an empty list shows
// nothing. The list is left as it is.
void ShowErrorList(const accpac::ErrorList& errors, const QString& companyId);
void ShowSessionErrors(accpac::Session& session);

}  // namespace accpac::local
