#include "hivefixture.h"

#include "winreg/winreg.h"

HiveFixture::HiveFixture(const QByteArray &hiveText)
{
    qputenv("WINEPREFIX", m_dir.path().toLocal8Bit());
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
