#pragma once
// The inventory inquiry screen ("IC1900"): for one item at one location, the documents
// behind one of its quantities (DOCTYPE 1 sales order lines, 2 committed quantities,
// 3 purchase order lines), with their total, which is the location's quantity of that
// kind. Started by the screen launcher with the parameter string ITEMNO, LOCATION,
// DOCTYPE (see ParameterString.h).

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace accpac::local {

class LocalSession;

// A screen the screen launcher can start: it reads its parameter string and shows
// itself, or raises a RuntimeError saying what is wrong (and shows nothing).
class LaunchableScreen {
public:
    virtual ~LaunchableScreen() = default;
    virtual void Launch(LocalSession& session, const std::string& parameters) = 0;
};

class InquiryScreen : public QWidget, public LaunchableScreen {
    Q_OBJECT
public:
    explicit InquiryScreen(QWidget* parent = nullptr);

    // Fills the screen from the parameters; raises on a malformed parameter string, a
    // missing key, a DOCTYPE other than 1, 2 or 3, an unknown item or location.
    void Load(LocalSession& session, const std::string& parameters);
    // Load, then show the screen as a window of its own.
    void Launch(LocalSession& session, const std::string& parameters) override;

    QString ItemText() const;
    QString LocationText() const;
    QString KindText() const;
    QTreeWidget* Documents() const { return documents_; }  // the last row is the total
    int DocumentCount() const { return documentCount_; }
    double Total() const { return total_; }
    QPushButton* CloseButton() const { return close_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Esc closes the window

private:
    QLabel* item_;
    QLabel* itemDescription_;
    QLabel* location_;
    QLabel* locationDescription_;
    QLabel* kind_;
    QTreeWidget* documents_;
    QPushButton* close_;
    int documentCount_ = 0;
    double total_ = 0;
};

}  // namespace accpac::local
