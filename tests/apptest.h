// Helpers for the tests of the program: finding and dismissing the message boxes
// it shows, Developer Studio hives to run it on, and the registry read back.
#pragma once

#include "hivefixture.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class QApplication;
class PluginInstall;

// Watches for modal message boxes, records their caption and text, and presses
// their first button, as a user who reads and closes each box would.
class BoxWatcher : public QObject {
public:
    struct Box {
        QString caption;
        QString text;
        int buttonCount;
    };
    BoxWatcher();
    QList<Box> boxes;
    std::function<void()> onBox; // called while each box is up
    QStringList texts() const;

private:
    void dismissActiveBox();
    QTimer m_timer;
};

struct StoredValue {
    uint type = 0;
    QByteArray data; // as an 8-bit caller reads it
    bool operator==(const StoredValue &other) const { return type == other.type && data == other.data; }
};

// Every value of a key in the hive file, by name; empty when the key is missing.
QMap<QString, StoredValue> keyValues(const QByteArray &hiveText, const QString &keyPath);
StoredValue textValue(const QByteArray &text);
StoredValue numberValue(quint32 number);

// Hive sections in Wine's format for the keys the program works with.
QByteArray hiveSection(const QByteArray &keyPath, const QByteArray &lines);
// A Tools key holding `count` entries of the user's own, entry i running C:\Tools\tool<i>.exe.
QByteArray userToolEntries(int count);
QByteArray toolsSection(int count, const QByteArray &extraLines = {});
QByteArray directoriesSection(const QByteArray &pathDirs);
QByteArray optionsSection(const QByteArray &lines);
QByteArray escapedForHive(const QByteArray &text);

inline const QByteArray toolsKeyPath = "Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Tools";
inline const QByteArray directoriesKeyPath = "Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Build System\\\\Components"
                                             "\\\\Platforms\\\\Win32 (x86)\\\\Directories";
inline const QByteArray optionsKeyPath = "Software\\\\Brackwater Software\\\\Tindral\\\\Options\\\\Studio";

// The registry paths as the program names them, for keyValues.
inline const QString toolsKeyName = QStringLiteral("Software\\Microsoft\\Devstudio\\6.0\\Tools");
inline const QString directoriesKeyName =
    QStringLiteral("Software\\Microsoft\\Devstudio\\6.0\\Build System\\Components\\Platforms\\Win32 (x86)\\Directories");
inline const QString optionsKeyName = QStringLiteral("Software\\Brackwater Software\\Tindral\\Options\\Studio");
