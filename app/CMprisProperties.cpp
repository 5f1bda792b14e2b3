#include "app/CMprisProperties.h"

#include <QDBusConnection>
#include <QMetaProperty>

namespace {

QString InterfaceOf(const QObject *pAdaptor) {
    const QMetaObject *pMeta = pAdaptor->metaObject();
    const int nIndex = pMeta->indexOfClassInfo("D-Bus Interface");
    return nIndex < 0 ? QString() : QString::fromLatin1(pMeta->classInfo(nIndex).value());
}

// The property of that name that the adaptor declares itself (not QObject's objectName).
QMetaProperty PropertyOf(const QObject *pAdaptor, const QString &strName) {
    const QMetaObject *pMeta = pAdaptor->metaObject();
    const int nIndex = pMeta->indexOfProperty(strName.toLatin1().constData());
    return nIndex >= QDBusAbstractAdaptor::staticMetaObject.propertyCount()
               ? pMeta->property(nIndex)
               : QMetaProperty();
}

} // namespace

CMprisProperties::CMprisProperties(QObject *pObject) : QDBusAbstractAdaptor(pObject) {}

QList<QDBusAbstractAdaptor *> CMprisProperties::Adaptors(const QString &strInterface) const {
    QList<QDBusAbstractAdaptor *> adaptors;
    for (QDBusAbstractAdaptor *pAdaptor :
         parent()->findChildren<QDBusAbstractAdaptor *>(Qt::FindDirectChildrenOnly))
        if (pAdaptor != this && (strInterface.isEmpty() || InterfaceOf(pAdaptor) == strInterface))
            adaptors << pAdaptor;
    return adaptors;
}

void CMprisProperties::Refuse(const QDBusMessage &message, QDBusError::ErrorType type,
                              const QString &strText) const {
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(message.createErrorReply(type, strText));
}

QDBusVariant CMprisProperties::Get(const QString &strInterface, const QString &strName,
                                   const QDBusMessage &message) {
    const QList<QDBusAbstractAdaptor *> adaptors = Adaptors(strInterface);
    for (QDBusAbstractAdaptor *pAdaptor : adaptors)
        if (const QMetaProperty property = PropertyOf(pAdaptor, strName); property.isValid())
            return QDBusVariant(property.read(pAdaptor));
    if (adaptors.isEmpty())
        Refuse(message, QDBusError::UnknownInterface, "No interface " + strInterface);
    else
        Refuse(message, QDBusError::UnknownProperty, "No property " + strName);
    return QDBusVariant();
}

QVariantMap CMprisProperties::GetAll(const QString &strInterface, const QDBusMessage &message) {
    const QList<QDBusAbstractAdaptor *> adaptors = Adaptors(strInterface);
    if (adaptors.isEmpty())
        Refuse(message, QDBusError::UnknownInterface, "No interface " + strInterface);
    QVariantMap values;
    for (QDBusAbstractAdaptor *pAdaptor : adaptors) {
        const QMetaObject *pMeta = pAdaptor->metaObject();
        for (int i = QDBusAbstractAdaptor::staticMetaObject.propertyCount();
             i < pMeta->propertyCount(); ++i)
            values.insert(QString::fromLatin1(pMeta->property(i).name()),
                          pMeta->property(i).read(pAdaptor));
    }
    return values;
}

void CMprisProperties::Set(const QString &strInterface, const QString &strName,
                           const QDBusVariant &value, const QDBusMessage &message) {
    const QList<QDBusAbstractAdaptor *> adaptors = Adaptors(strInterface);
    for (QDBusAbstractAdaptor *pAdaptor : adaptors) {
        const QMetaProperty property = PropertyOf(pAdaptor, strName);
        if (!property.isValid())
            continue;
        if (!property.isWritable())
            Refuse(message, QDBusError::PropertyReadOnly, strName + " is read-only");
        else if (value.variant().metaType() != property.metaType())
            Refuse(message, QDBusError::InvalidArgs,
                   QStringLiteral("%1 takes a %2, not a %3")
                       .arg(strName, QLatin1String(property.metaType().name()),
                            QLatin1String(value.variant().metaType().name())));
        else
            property.write(pAdaptor, value.variant());
        return;
    }
    if (adaptors.isEmpty())
        Refuse(message, QDBusError::UnknownInterface, "No interface " + strInterface);
    else
        Refuse(message, QDBusError::UnknownProperty, "No property " + strName);
}
