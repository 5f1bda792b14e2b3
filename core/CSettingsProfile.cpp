#include "core/CSettingsProfile.h"

#include "core/CLogBook.h"
#include "core/CRegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Qt's INI format reads and writes its top-level keys under a plain [General] header, and
// escapes a group of that name as [%General]. The General section therefore lives at the top
// level, so that the file shows the header a person editing it expects.
const QString kGeneral = QStringLiteral("General");

QString GroupKey(const QString &section, const QString &entry) {
    return section + "/" + entry;
}
} // namespace

CSettingsProfile::CSettingsProfile() : m_settings("ovak", "Tessaro") {}

CSettingsProfile::CSettingsProfile(const QString &strFileName)
    : m_settings(strFileName, QSettings::NativeFormat) {}

bool CSettingsProfile::CanUse(const QString &strFileName, QString *pstrReason) {
    const QByteArray name = QFile::encodeName(strFileName);
    int fd = -1;
    CRegularFile::Result result = CRegularFile::OpenForReading(name, MAX_FILE_SIZE, &fd);
    if (result == CRegularFile::OPENED) {
        ::close(fd);
        return true;
    }
    if (result == CRegularFile::CANNOT_OPEN && errno == ENOENT) {
        // A file still to be made is written at the first change; a link to nowhere is not.
        if (CRegularFile::CanReplace(name))
            return true;
        result = CRegularFile::NOT_REGULAR;
    }
    *pstrReason = CRegularFile::Reason(result, MAX_FILE_SIZE);
    return false;
}

void CSettingsProfile::SetRunValue(const QString &section, const QString &entry,
                                   const QString &strValue) {
    m_runValues.insert(GroupKey(section, entry), strValue);
}

QVariant CSettingsProfile::Value(const QString &section, const QString &entry) const {
    if (const auto run = m_runValues.constFind(GroupKey(section, entry)); run != m_runValues.cend())
        return *run;
    if (section != kGeneral)
        return m_settings.value(GroupKey(section, entry));
    const QVariant plain = m_settings.value(entry);
    // Earlier runs wrote the section as [%General]; it still counts where [General] is silent.
    return plain.isValid() ? plain : m_settings.value(GroupKey(section, entry));
}

bool CSettingsProfile::Write(const QString &section, const QString &entry, const QVariant &value) {
    m_runValues.remove(GroupKey(section, entry));
    // Writing renames a new file over the old one: never over a device, a pipe or a folder
    // that took the file's place while the program ran.
    if (!CRegularFile::CanReplace(QFile::encodeName(m_settings.fileName()))) {
        if (!m_bRefused)
            LogError("CSettingsProfile::Write(): Not a regular file, settings not written: %s\n",
                     QFile::encodeName(m_settings.fileName()).constData());
        m_bRefused = true;
        return false;
    }
    if (!value.isValid()) {
        m_settings.remove(section == kGeneral ? entry : GroupKey(section, entry));
        if (section == kGeneral)
            m_settings.remove(GroupKey(section, entry));
    } else if (section == kGeneral) {
        m_settings.setValue(entry, value);
        // A stale copy under [%General] would only confuse the next person reading the file.
        m_settings.remove(GroupKey(section, entry));
    } else {
        m_settings.setValue(GroupKey(section, entry), value);
    }
    return Sync();
}

bool CSettingsProfile::Sync() {
    const QString strFile = m_settings.fileName();
    // Made 0600 before the first write: Qt's writer keeps the mode of the file it replaces,
    // so the settings are never readable by others, not even for a moment.
    if (!QFileInfo::exists(strFile) && QDir().mkpath(QFileInfo(strFile).absolutePath())) {
        const int fd = ::open(QFile::encodeName(strFile).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    m_settings.sync();
    // A file of an earlier run, or one made by hand, may still be open to others.
    constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const QFile::Permissions mode = QFile::permissions(strFile);
    if (mode & ~(kOwnerOnly | QFile::ReadUser | QFile::WriteUser) &&
        !QFile::setPermissions(strFile, kOwnerOnly))
        LogError("CSettingsProfile::Write(): Cannot make the settings file private: %s\n",
                 QFile::encodeName(strFile).constData());
    return m_settings.status() == QSettings::NoError;
}

int CSettingsProfile::GetProfileInt(const QString &section, const QString &entry, int nDefault) {
    const QVariant v = Value(section, entry);
    if (!v.isValid())
        return nDefault;
    // A hand-edited value that is not a number reads as missing, as a registry value of the
    // wrong type would.
    bool bOk = false;
    const qlonglong n = v.toLongLong(&bOk);
    if (!bOk)
        return nDefault;
    // Stored as a 32-bit DWORD: anything wider wraps as the registry would hand it back.
    return static_cast<int>(static_cast<quint32>(n));
}

bool CSettingsProfile::WriteProfileInt(const QString &section, const QString &entry, int nValue) {
    return Write(section, entry, nValue);
}

QString CSettingsProfile::GetProfileString(const QString &section, const QString &entry,
                                           const QString &strDefault) {
    const QVariant v = Value(section, entry);
    if (!v.isValid())
        return strDefault;
    // The INI reader splits an unquoted value at its commas; a list the user typed must come
    // back as the text it was, never as an empty string.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(", ");
    return v.toString();
}

bool CSettingsProfile::WriteProfileString(const QString &section, const QString &entry,
                                          const QString &strValue) {
    return Write(section, entry, strValue);
}

bool CSettingsProfile::RemoveProfileEntry(const QString &section, const QString &entry) {
    return Write(section, entry, QVariant());
}
