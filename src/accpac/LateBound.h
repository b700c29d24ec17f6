#pragma once
// Calls on objects reached by name at run time (the hosted screen's inner object, its
// controls, the trace target), through Qt's meta-object system. A missing member raises
// RuntimeError 438 "Object doesn't support this property or method".

#include <QObject>
#include <QVariant>
#include <QVariantList>

namespace accpac {

// Invokes a Q_INVOKABLE method (up to 4 QVariant-convertible arguments) and returns its
// result (an invalid QVariant for void methods).
QVariant CallByName(QObject* object, const char* method, const QVariantList& args = {});
QVariant GetProperty(const QObject* object, const char* name);
void SetProperty(QObject* object, const char* name, const QVariant& value);
// The QObject* returned by a method, e.g. CallObject(screen, "UIDSControls", {"adsOEORDH"}).
QObject* CallObject(QObject* object, const char* method, const QVariantList& args = {});

}  // namespace accpac
