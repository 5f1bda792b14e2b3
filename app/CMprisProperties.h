// The properties interface of the desktop media controls' object, strict about types: a write of
// a value of another type than the property's is refused with InvalidArgs, which is what D-Bus
// clients expect, where QtDBus's own interface converts what it can and answers InternalError
// for what it cannot. Reads and writes go to the properties of the object's adaptors. Adaptors
// are asked before QtDBus's built-in interfaces, which is what lets this one stand in; it is kept
// out of the introspection data, which describes the standard interface already. UI thread only.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

class CMprisProperties : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    Q_CLASSINFO("D-Bus Introspection", "")
public:
    // Owned by pObject, as QtDBus adaptors are owned by their object; serves its other adaptors.
    explicit CMprisProperties(QObject *pObject);

public slots:
    QDBusVariant Get(const QString &strInterface, const QString &strName,
                     const QDBusMessage &message);
    QVariantMap GetAll(const QString &strInterface, const QDBusMessage &message);
    void Set(const QString &strInterface, const QString &strName, const QDBusVariant &value,
             const QDBusMessage &message);

private:
    // The object's adaptors that serve strInterface (all of them for an empty name).
    QList<QDBusAbstractAdaptor *> Adaptors(const QString &strInterface) const;
    void Refuse(const QDBusMessage &message, QDBusError::ErrorType type,
                const QString &strText) const;
};
