// Test prefixes: a temporary Wine prefix whose user.reg holds the given text.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

inline const QByteArray hiveHeader = "WINE REGISTRY Version 2\n"
                                     ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                                     "\n"
                                     "#arch=win64\n";

class HiveFixture {
public:
    // Makes the prefix the one that WINEPREFIX names and writes the hive; its
    // drives are those of a new prefix, C: on drive_c and Z: on the root.
    explicit HiveFixture(const QByteArray &hiveText = hiveHeader);
    QString prefix() const { return m_dir.path(); }
    QString hivePath() const { return m_dir.filePath(QStringLiteral("user.reg")); }
    QByteArray text() const;
    void setText(const QByteArray &text) const;

private:
    QTemporaryDir m_dir;
};
