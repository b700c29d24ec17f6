#pragma once
// The platform's trace target ("Accpac.SpyTarget"): receives trace calls by name and
// records them, in this process (Calls()) and appended to the file SpyTarget.log in the
// machine folder. It is registered only on request (Installation::RegisterTraceTarget),
// so by default it cannot be created by ProgID.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace accpac::local {

struct SpyCall {
    QString method;        // Init, Activate, Deactivate, BeginContext, ReportEvent, EndContext
    QStringList args;      // the text arguments (contexts are not recorded)
    QString Text() const;  // "method(arg1, arg2)"
};

class SpyTarget : public QObject {
    Q_OBJECT
public:
    explicit SpyTarget(QObject* parent = nullptr);
    ~SpyTarget() override;

    Q_INVOKABLE void Init(const QString& container, const QString& component);
    Q_INVOKABLE void Activate();
    Q_INVOKABLE void Deactivate();
    Q_INVOKABLE void BeginContext(const QString& name, QVariant context);
    Q_INVOKABLE void ReportEvent(const QString& text, QVariant context);
    Q_INVOKABLE void EndContext(const QString& text, QVariant context);

    // Every call made on any trace target of this process, oldest first.
    static std::vector<SpyCall> Calls();
    static void ClearCalls();
    // The file the calls are appended to.
    static QString LogFile();

private:
    void Record(const QString& method, const QStringList& args);
};

}  // namespace accpac::local
