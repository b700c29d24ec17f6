#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTreeView>

#include "accpac/local/ui/FieldEditControl.h"

namespace {

// No modal dialog may block a test run: one that no test expected fails the test and is
// closed at once.
class NoBlockingDialogs : public ::testing::Environment {
public:
    void SetUp() override {
        accpac::SetModalHandler([](QDialog& dialog) {
            ADD_FAILURE() << "Unexpected dialog: " << dialog.windowTitle().toStdString();
            dialog.reject();
        });
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoBlockingDialogs);

}  // namespace

namespace accpac::local::test {

std::vector<InquiryScreen*> OpenInquiries() {
    std::vector<InquiryScreen*> screens;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<InquiryScreen*>(w); s && s->isVisible()) screens.push_back(s);
    return screens;
}

InquiryScreen* LaunchInquiry(LocalSession& session, const std::string& parameters,
                             const std::string& screenId, int32_t owner) {
    std::string text1, text2, text3;
    session.PrepareScreen("IC1900", parameters, text1, text2, text3);
    std::shared_ptr<ScreenLauncher> launcher = Platform::Get().CreateScreenLauncher();
    launcher->Prepare(text2, text3, screenId, session.LauncherText(), parameters);
    const std::string result = launcher->Run(owner);
    launcher->Close();
    std::vector<InquiryScreen*> screens = OpenInquiries();
    return result == screenId && screens.size() == 1 ? screens[0] : nullptr;
}

// The controls under root whose text does not fit them.
std::vector<std::string> ClippedTexts(QWidget* root) {
    std::vector<std::string> clipped;
    auto check = [&](bool fits, const QString& what) {
        if (!fits) clipped.push_back(what.toStdString());
    };
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->isVisible() && !l->wordWrap() && !l->text().isEmpty())
            check(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                  "label " + l->text());
    for (QPushButton* b : root->findChildren<QPushButton*>())
        if (b->isVisible()) check(b->sizeHint().width() <= b->width(), "button " + b->text());
    for (QGroupBox* g : root->findChildren<QGroupBox*>())
        if (g->isVisible())
            check(g->minimumSizeHint().width() <= g->width(), "group " + g->title());
    for (FieldEditControl* f : root->findChildren<FieldEditControl*>())
        if (f->isVisible() && !f->FieldName().empty() && !f->Editor()->isVisible()) {
            const int width =
                f->width() - (f->IsZoomButton() ? std::min(f->width(), f->height()) : 0);
            check(f->fontMetrics().horizontalAdvance(f->DisplayText()) + 8 <= width,
                  "field " + f->DisplayText());
        }
    for (QAbstractItemView* v : root->findChildren<QAbstractItemView*>()) {
        if (!v->isVisible()) continue;
        QAbstractItemModel* m = v->model();
        QHeaderView* header = nullptr;
        if (auto* table = qobject_cast<QTableView*>(v)) header = table->horizontalHeader();
        if (auto* tree = qobject_cast<QTreeView*>(v)) header = tree->header();
        for (int c = 0; c < m->columnCount(); ++c) {
            const int width = header ? header->sectionSize(c) : v->width();
            const QString title = m->headerData(c, Qt::Horizontal).toString();
            if (header) {
                const int margin =
                    header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
                QFont bold = header->font();
                bold.setBold(true);  // some styles embolden headings
                check(QFontMetrics(bold).horizontalAdvance(title) + 2 * margin + 4 <= width,
                      "heading " + title);
            }
            for (int r = 0; r < m->rowCount(); ++r) {
                const QString text = m->index(r, c).data().toString();
                QFont font = v->font();
                if (auto f = m->index(r, c).data(Qt::FontRole); f.isValid())
                    font = f.value<QFont>();
                check(QFontMetrics(font).horizontalAdvance(text) + 12 <= width, title + " " + text);
            }
        }
    }
    return clipped;
}

}  // namespace accpac::local::test
