// What the tests share: a Wine prefix whose user.reg holds a given text, hive
// text for Developer Studio's keys, the registry read back from a hive's text,
// the message boxes a run shows, and registry calls made to fail.
#pragma once

#include "devstudio/registry.h"

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

inline const QByteArray hiveHeader = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000"
                                     "\n\n#arch=win64\n";

// A temporary 64-bit Wine prefix, made the one WINEPREFIX names: drive C: (drive_c), Z: (/)
// unless withRoot is false, and user.reg.
class HiveFixture {
public:
    explicit HiveFixture(const QByteArray &hiveText = hiveHeader, bool withRoot = true);
    ~HiveFixture();
    QString prefix() const { return m_dir.path(); }
    QString hivePath() const { return m_dir.filePath(QStringLiteral("user.reg")); }
    QByteArray text() const;
    void setText(const QByteArray &text) const;

private:
    QTemporaryDir m_dir;
};

// A key's section in a hive: keyPath as the registry names it, lines as in the file.
QByteArray section(const QByteArray &keyPath, const QByteArray &lines);
QByteArray hiveQuoted(const QByteArray &text);
// A Tools menu with an entry for each program path, in order. A path ending in
// the product's viewer or options program gets that entry's values, others get
// values made from the path; "" is an entry without PathName, "-" a place left
// empty. count is NumTools' data: by default the number of programs; "": none.
QByteArray menu(const QList<QByteArray> &programs, const char *count = nullptr);
QByteArray directories(const QByteArray &pathDirs);
// The product's key; a null restorePath is left out.
QByteArray options(const QByteArray &restorePath, bool marker);

// The values of the keys the program works on (Tools menu, directories, the
// product's key) in a hive's text, one line each, as an 8-bit caller reads them.
QString programKeys(const QByteArray &hiveText);

// Records each modal message box as "caption: text" and presses its first
// button, as a user who reads and closes each box would.
class BoxWatcher : public QObject {
public:
    BoxWatcher();
    QStringList boxes;
    std::function<void()> onBox; // called while each box is up

private:
    QTimer m_timer;
};

// From now on, writes of values of this name fail as access denied; "" ends that.
void failWritesOf(const QByteArray &valueName);

// Runs hook just before the store renames the new hive over the old one; an empty hook ends that.
void beforeRename(const std::function<void()> &hook);
// Makes the store's attempts to make a Wine server folder fail, or work again.
void failMkdtemp(bool fail);

// Starts wineservers for a prefix (with TMPDIR, or without one) and stops them
// when it goes, on every way out of a test.
class WineServerGuard {
public:
    WineServerGuard(const QString &prefix, const QString &tmpdir = {});
    ~WineServerGuard()
    {
        if (m_started)
            stop();
    }
    // Runs "wineserver ARGUMENTS" and returns its exit status: "-p" stays running
    // in the background (0), and exits with 2 when another server holds the lock.
    int start(const QStringList &arguments = {"-p"}) const;
    void stop() const;
    QProcessEnvironment environment() const;

private:
    QString m_prefix;
    QString m_tmpdir;
    mutable bool m_started = false;
};
