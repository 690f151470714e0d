#pragma once
// Root may read and write anything, so the permission cases run as an ordinary user: the folder
// and its entries are given to "nobody" and the process drops to that user while the object
// lives. Outside root it changes nothing.

#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <unistd.h>

class AsOrdinaryUser {
public:
    explicit AsOrdinaryUser(const QString& folder) : m_root(geteuid() == 0)
    {
        if (!m_root)
            return;
        constexpr uid_t kNobody = 65534;
        const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
        bool given = ::chown(QFile::encodeName(base).constData(), kNobody, kNobody) == 0;
        for (const QString& name :
             QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            given = given && ::lchown(QFile::encodeName(base + name).constData(), kNobody, kNobody) == 0;
        m_ok = given && setresuid(kNobody, kNobody, 0) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (m_root && m_ok && setresuid(0, 0, 0) != 0)
            qFatal("cannot return to root");
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_root;
    bool m_ok = true;
};
