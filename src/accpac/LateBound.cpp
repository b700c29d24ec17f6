#include "accpac/LateBound.h"

#include <QMetaMethod>
#include <QMetaObject>

#include "common/RuntimeError.h"

namespace accpac {

namespace {

[[noreturn]] void NotSupported(const QObject* object, const char* member) {
    std::string cls = object ? object->metaObject()->className() : "Nothing";
    if (!object) throw lumaro::RuntimeError::Standard(lumaro::kErrObjectNotSet, cls);
    throw lumaro::RuntimeError::Standard(lumaro::kErrObjectDoesNotSupport, cls + "." + member);
}

}  // namespace

QVariant CallByName(QObject* object, const char* method, const QVariantList& args) {
    if (!object) NotSupported(object, method);
    const QMetaObject* meta = object->metaObject();
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        QMetaMethod m = meta->method(i);
        if (m.name() != method || m.parameterCount() != args.size()) continue;
        // Convert each argument to the declared parameter type.
        QVariantList converted;
        for (int p = 0; p < m.parameterCount(); ++p) {
            QVariant a = args[p];
            QMetaType type = m.parameterMetaType(p);
            if (type.id() != QMetaType::QVariant && a.metaType() != type && !a.convert(type)) {
                throw lumaro::RuntimeError::Standard(lumaro::kErrTypeMismatch, meta->className());
            }
            converted.push_back(a);
        }
        QMetaType returnType = m.returnMetaType();
        const bool returnsVoid =
            returnType.id() == QMetaType::Void || returnType.id() == QMetaType::UnknownType;
        const bool returnsVariant = returnType.id() == QMetaType::QVariant;
        QVariant result =
            returnsVoid || returnsVariant ? QVariant() : QVariant(returnType, nullptr);
        void* argv[5] = {returnsVoid      ? nullptr
                         : returnsVariant ? static_cast<void*>(&result)
                                          : result.data(),
                         nullptr, nullptr, nullptr, nullptr};
        if (args.size() > 4) NotSupported(object, method);
        for (int p = 0; p < converted.size(); ++p)
            argv[p + 1] = m.parameterMetaType(p).id() == QMetaType::QVariant
                              ? static_cast<void*>(&converted[p])
                              : converted[p].data();
        object->qt_metacall(QMetaObject::InvokeMetaMethod, i, argv);
        return result;
    }
    NotSupported(object, method);
}

QVariant GetProperty(const QObject* object, const char* name) {
    if (!object) NotSupported(object, name);
    if (object->metaObject()->indexOfProperty(name) < 0 &&
        !object->dynamicPropertyNames().contains(name))
        NotSupported(object, name);
    return object->property(name);
}

void SetProperty(QObject* object, const char* name, const QVariant& value) {
    if (!object || object->metaObject()->indexOfProperty(name) < 0) NotSupported(object, name);
    if (!object->setProperty(name, value))
        throw lumaro::RuntimeError::Standard(lumaro::kErrTypeMismatch,
                                             object->metaObject()->className());
}

QObject* CallObject(QObject* object, const char* method, const QVariantList& args) {
    QVariant v = CallByName(object, method, args);
    QObject* result = v.value<QObject*>();
    if (!result) throw lumaro::RuntimeError::Standard(lumaro::kErrObjectNotSet, method);
    return result;
}

}  // namespace accpac
