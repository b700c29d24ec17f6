#pragma once
// The Order Entry screen ("OE1100"), a control created by ProgID and hosted in a window.
// Its inner object is the screen itself, reached by name:
//   properties  sessionID (setting it opens the screen on that sign-on), ServerName
//   UIDSControls(name) / UIAppControls(name) -> an entry whose GetControl() gives
//       "adsOEORDH", "adsOEORDD"  the header and detail data sources
//       "avlOEORDDdetail1"        the detail list (IsListEmpty)
//       "APP_Save_Button", "APP_Close_Button"  Top, Left, width, height in twips, in the
//                                 screen's coordinates
// It raises its events through ObjectEvent(name, parameters): "OnUIForceSize"
// (sNewWidth, sNewHeight: its preferred size in twips) and "OnUIAppOpened" once it is
// open, "OnUIAppClosed" when its Close button is pressed (and the clerk did not keep the
// screen open when asked about unsaved changes).
//
// Unsaved changes: Close, New and choosing another order ask whether to save them. When
// the screen goes away with unsaved changes (its host window closed), it asks nothing and
// saves nothing, but keeps the order as entered in a file in the company folder; the
// next time the same user opens the screen on that company, it offers the order back.
//
// The screen's controls sit in a band of fixed height at the top; below it the screen
// is empty and left to the host (its mask leaves that part to the window underneath).

#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <map>
#include <memory>

#include "accpac/local/LocalDataSource.h"
#include "accpac/local/OrderEntry.h"

class QComboBox;
class QLayout;
class QLabel;
class QPushButton;

namespace accpac::local {

class DetailListControl;
class OrderNumberList;
class FieldEditControl;
class LocalSession;

// An entry of UIDSControls / UIAppControls.
class ControlEntry : public QObject {
    Q_OBJECT
public:
    ControlEntry(QObject* control, QObject* parent) : QObject(parent), control_(control) {}
    Q_INVOKABLE QObject* GetControl() const { return control_; }

private:
    QPointer<QObject> control_;
};

// A button of the screen as the host sees it: position and size in twips, in the
// screen's coordinates.
class ButtonControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Top READ Top)
    Q_PROPERTY(int Left READ Left)
    Q_PROPERTY(int width READ Width)
    Q_PROPERTY(int height READ Height)
public:
    ButtonControl(QWidget* button, QWidget* screen);
    int Top() const;
    int Left() const;
    int Width() const;
    int Height() const;

private:
    QRect Geometry() const;
    QPointer<QWidget> button_;
    QPointer<QWidget> screen_;
};

class OrderEntryScreen : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int sessionID READ SessionID WRITE SetSessionID)
    Q_PROPERTY(QString ServerName READ ServerName WRITE SetServerName)
public:
    explicit OrderEntryScreen(QWidget* parent = nullptr);
    ~OrderEntryScreen() override;

    int SessionID() const { return sessionID_; }
    // Opens the screen on the sign-on, once control returns to the event loop. Once open,
    // the screen stays on its sign-on.
    void SetSessionID(int sessionID);
    QString ServerName() const { return serverName_; }
    void SetServerName(const QString& name) { serverName_ = name; }

    Q_INVOKABLE QObject* UIDSControls(const QString& name);
    Q_INVOKABLE QObject* UIAppControls(const QString& name);

    // The preferred size, twips.
    int PreferredWidth() const;
    int PreferredHeight() const;

    // ---- for the local platform and its tests ----
    bool IsOpen() const { return order_ != nullptr; }
    OrderEntry* Order() const { return order_.get(); }
    LocalDataSource* HeaderSource() const { return header_; }
    LocalDataSource* DetailSource() const { return detail_; }
    DetailListControl* DetailList() const { return list_; }
    QComboBox* OrderNumberCombo() const { return orderNumber_; }
    FieldEditControl* CustomerEdit() const { return customer_; }
    QPushButton* NewButton() const { return newButton_; }
    QPushButton* AddLineButton() const { return addLine_; }
    QPushButton* DeleteLineButton() const { return deleteLine_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* CloseButton() const { return close_; }
    QLabel* StatusLabel() const { return status_; }

    // Opens a saved order by number; false when there is none.
    bool OpenOrder(const QString& orderNumber);
    OrderNumberList* OrderNumbers() const { return numbers_; }
    // The file that keeps this user's unsaved order of this company ("" before open).
    QString UnsavedOrderFile() const;

signals:
    void ObjectEvent(const QString& name, const QVariantMap& parameters);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The constructor's parts: the header box, the lines box, the bottom row, the signals.
    QWidget* BuildHeaderBox();
    QWidget* BuildLinesBox();
    QLayout* BuildButtonRow();
    void ConnectActions();
    void Open();
    void NewOrder();
    void AddLine();
    void DeleteLine();
    bool Save();
    void Close();
    void DeleteLineAsked();
    // Asks whether to save the order's unsaved changes; false when the clerk cancels (or
    // the save fails).
    bool ConfirmDiscard();
    void KeepUnsaved();
    void OfferUnsaved();
    void ShowErrors();
    // Runs a user action; the platform's errors it raises are shown in its error display.
    template <typename Action>
    bool Run(Action&& action);

    int sessionID_ = 0;
    bool openPending_ = false;
    QString serverName_;
    std::shared_ptr<LocalSession> session_;
    LocalDataSource* header_;
    LocalDataSource* detail_;
    std::unique_ptr<OrderEntry> order_;
    std::map<QString, ControlEntry*> entries_;

    QWidget* content_;  // the band with every control
    QComboBox* orderNumber_;
    OrderNumberList* numbers_;
    QPushButton* newButton_;
    FieldEditControl* orderDate_;
    FieldEditControl* customer_;
    FieldEditControl* customerName_;
    FieldEditControl* reference_;
    DetailListControl* list_;
    QPushButton* addLine_;
    QPushButton* deleteLine_;
    QPushButton* save_;
    QPushButton* close_;
    QLabel* status_;
};

}  // namespace accpac::local
