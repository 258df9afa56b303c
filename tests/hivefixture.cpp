#include "hivefixture.h"

#include "winreg/winreg.h"

#include <QDir>

HiveFixture::HiveFixture(const QByteArray &hiveText)
{
    qputenv("WINEPREFIX", m_dir.path().toLocal8Bit());
    QDir(m_dir.path()).mkpath(QStringLiteral("dosdevices"));
    QDir(m_dir.path()).mkpath(QStringLiteral("drive_c"));
    QFile::link(QStringLiteral("../drive_c"), m_dir.filePath(QStringLiteral("dosdevices/c:")));
    QFile::link(QStringLiteral("/"), m_dir.filePath(QStringLiteral("dosdevices/z:")));
    setText(hiveText);
    winregRelease();
    winregClearFaults();
}

QByteArray HiveFixture::text() const
{
    QFile file(hivePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void HiveFixture::setText(const QByteArray &text) const
{
    QFile file(hivePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}
