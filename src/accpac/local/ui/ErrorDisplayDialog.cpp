#include "accpac/local/ui/ErrorDisplayDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "accpac/ModalDialog.h"

namespace accpac::local {

namespace {

QIcon LevelIcon(const QStyle* style, int level) {
    switch (level) {
        case 1:
            return style->standardIcon(QStyle::SP_MessageBoxInformation);
        case 2:
            return style->standardIcon(QStyle::SP_MessageBoxWarning);
        default:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
    }
}

}  // namespace

QString ErrorLevelText(int level) {
    switch (level) {
        case 1:
            return QStringLiteral("Message");
        case 2:
            return QStringLiteral("Warning");
        case 3:
            return QStringLiteral("Error");
        case 4:
            return QStringLiteral("Security");
        case 5:
            return QStringLiteral("Severe Error");
        default:
            return QStringLiteral("Error %1").arg(level);
    }
}

ErrorDisplayDialog::ErrorDisplayDialog(const QString& companyId,
                                       const std::vector<accpac::ErrorEntry>& entries,
                                       QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
    setWindowTitle(companyId.isEmpty() ? tr("Errors") : tr("%1 - Errors").arg(companyId));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(
        entries.size() == 1 ? tr("The following message was reported:")
                            : tr("The following %1 messages were reported:").arg(entries.size()),
        this);
    layout->addWidget(heading);

    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Level"), tr("Message")});
    list_->setRootIsDecorated(false);
    list_->setWordWrap(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(true);
    for (const accpac::ErrorEntry& e : entries) {
        auto* item = new QTreeWidgetItem(list_);
        item->setIcon(0, LevelIcon(style(), e.level));
        item->setText(0, ErrorLevelText(e.level));
        item->setText(1, QString::fromStdString(e.message));
        item->setToolTip(1, QString::fromStdString(e.message));
    }
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, list_->columnWidth(0) + 16);
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    layout->addWidget(list_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(560, 260);
}

void ShowErrorList(const accpac::ErrorList& errors, const QString& companyId) {
    std::vector<accpac::ErrorEntry> entries;
    for (int i = 0; i < errors.Count(); ++i) entries.push_back(errors.Item(i));
    if (entries.empty()) return;
    ErrorDisplayDialog dialog(companyId, entries, QApplication::activeWindow());
    RunModal(dialog);
}

void ShowSessionErrors(accpac::Session& session) {
    ShowErrorList(session.Errors(), QString::fromStdString(session.CompanyID()));
}

}  // namespace accpac::local
