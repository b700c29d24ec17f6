#include "accpac/local/SpyTarget.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include "winapi/MachineFolder.h"

namespace accpac::local {

namespace {

std::vector<SpyCall>& AllCalls() {
    static std::vector<SpyCall> calls;
    return calls;
}

}  // namespace

QString SpyCall::Text() const { return method + "(" + args.join(", ") + ")"; }

SpyTarget::SpyTarget(QObject* parent) : QObject(parent) {}
SpyTarget::~SpyTarget() = default;

void SpyTarget::Init(const QString& container, const QString& component) {
    Record("Init", {container, component});
}
void SpyTarget::Activate() { Record("Activate", {}); }
void SpyTarget::Deactivate() { Record("Deactivate", {}); }
void SpyTarget::BeginContext(const QString& name, QVariant) { Record("BeginContext", {name}); }
void SpyTarget::ReportEvent(const QString& text, QVariant) { Record("ReportEvent", {text}); }
void SpyTarget::EndContext(const QString& text, QVariant) { Record("EndContext", {text}); }

std::vector<SpyCall> SpyTarget::Calls() { return AllCalls(); }
void SpyTarget::ClearCalls() { AllCalls().clear(); }

QString SpyTarget::LogFile() {
    return QString::fromStdString(winapi::MachineFolder()) + "/SpyTarget.log";
}

void SpyTarget::Record(const QString& method, const QStringList& args) {
    SpyCall call{method, args};
    AllCalls().push_back(call);
    // The file is a convenience for looking at a run afterwards; failing to write it
    // must not disturb the caller.
    QFile file(LogFile());
    if (file.open(QIODevice::Append | QIODevice::Text)) {
        QTextStream out(&file);
        out << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << call.Text()
            << '\n';
    }
}

}  // namespace accpac::local
