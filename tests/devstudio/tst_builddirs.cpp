// The product's directories in front of the Win32 (x86) search path, and back
// out: the compositions, every failure with its box, and the limits of the lists.
#include "../apptest.h"
#include "app/plugininstall.h"

#include <QApplication>
#include <QtTest>

namespace {

const QByteArray oldList = "C:\\VC98\\BIN;C:\\WINDOWS";

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

enum class Action { Install, Restore };

// Runs one action as the controller does, with an open OptionsKey, then saves.
QStringList runAction(Action action)
{
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    // Install gets the key the controller creates, restore the one it opened.
    HKEY optionsKey = nullptr;
    const LONG status = action == Action::Install ? regCreate(HKEY_CURRENT_USER, OptionsKey, &optionsKey)
                                                  : regOpen(HKEY_CURRENT_USER, OptionsKey, &optionsKey);
    if (status != ERROR_SUCCESS)
        optionsKey = nullptr;
    BoxWatcher watcher;
    if (action == Action::Install)
        window->installBuildDirs(optionsKey);
    else
        window->restoreBuildDirs(optionsKey);
    regClose(optionsKey);
    registrySave();
    return watcher.texts();
}

StoredValue pathDirs(const HiveFixture &hive)
{
    return keyValues(hive.text(), directoriesKeyName).value(QStringLiteral("Path Dirs"));
}

StoredValue restorePath(const HiveFixture &hive)
{
    return keyValues(hive.text(), optionsKeyName).value(QStringLiteral("Restore Path"));
}

} // namespace

class BuildDirsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qputenv("TINDRALDIR", "C:\\Prod"); }
    void composition_data();
    void composition();
    void installFailures_data();
    void installFailures();
    void restoreFailures_data();
    void restoreFailures();
    void installThenRestoreGivesTheOldListBack();
    void restoreKeepsLaterEdits_data();
    void restoreKeepsLaterEdits();
    void listsAtTheirLimits_data();
    void listsAtTheirLimits();
    void unterminatedListIsReadAsItsText();
    void productDirectoriesAlreadyPresentAreAddedAgain();
};

void BuildDirsTest::composition_data()
{
    QTest::addColumn<QByteArray>("productDirectory");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray old = "OLD;C:\\x";
    QTest::newRow("D:\\kit\\rt") << QByteArray("D:\\kit\\rt") << old
                                 << QByteArray("D:\\kit\\rt\\targets\\cvisual6\\cmd;D:\\kit\\rt\\bin\\intel\\win32;"
                                               "D:\\kit\\Common;OLD;C:\\x");
    QTest::newRow("D:\\kit\\rt\\") << QByteArray("D:\\kit\\rt\\") << old
                                   << QByteArray("D:\\kit\\rt\\\\targets\\cvisual6\\cmd;D:\\kit\\rt\\\\bin\\intel\\win32;"
                                                 "D:\\kit\\Common;OLD;C:\\x");
    QTest::newRow("C:\\rt") << QByteArray("C:\\rt") << old
                            << QByteArray("C:\\rt\\targets\\cvisual6\\cmd;C:\\rt\\bin\\intel\\win32;C:\\Common;OLD;C:\\x");
    // Relative directories are taken from the current directory, here drive C's root.
    QTest::newRow("relative rt") << QByteArray("rt") << old
                                 << QByteArray("C:\\rt\\targets\\cvisual6\\cmd;C:\\rt\\bin\\intel\\win32;C:\\Common;OLD;C:\\x");
    QTest::newRow("relative ./kit/rt/") << QByteArray("./kit/rt/") << old
                                        << QByteArray("C:\\kit\\rt\\\\targets\\cvisual6\\cmd;C:\\kit\\rt\\\\bin\\intel\\win32;"
                                                      "C:\\kit\\Common;OLD;C:\\x");
    QTest::newRow("empty old list") << QByteArray("C:\\rt") << QByteArray()
                                    << QByteArray("C:\\rt\\targets\\cvisual6\\cmd;C:\\rt\\bin\\intel\\win32;C:\\Common;");
}

void BuildDirsTest::composition()
{
    QFETCH(QByteArray, productDirectory);
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, expected);
    qputenv("TINDRALDIR", productDirectory);
    HiveFixture hive(hiveHeader + directoriesSection(old));
    const QString startDirectory = QDir::currentPath();
    QDir::setCurrent(hive.prefix() + QStringLiteral("/drive_c"));
    const QStringList boxes = runAction(Action::Install);
    QDir::setCurrent(startDirectory);
    QCOMPARE(boxes, QStringList());
    QCOMPARE(pathDirs(hive), textValue(expected));
    QCOMPARE(restorePath(hive), textValue(old));
}

void BuildDirsTest::installFailures_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QByteArray>("failingValue"); // a write made to fail, if any
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("restorePathWritten");

    QTest::newRow("no Directories key") << hiveHeader << QByteArray() << QStringLiteral("Error: Unable to open key for Visual")
                                        << false;
    QTest::newRow("no Path Dirs") << hiveHeader + hiveSection(directoriesKeyPath, "\"Include Dirs\"=\"C:\\\\inc\"\n")
                                  << QByteArray() << QStringLiteral("Error: Unable to read Visual installation") << false;
    QTest::newRow("Path Dirs too long") << hiveHeader + directoriesSection(QByteArray(1024, 'p')) << QByteArray()
                                        << QStringLiteral("Error: Unable to read Visual installation") << false;
    QTest::newRow("Path Dirs write fails") << hiveHeader + directoriesSection(oldList) << QByteArray("Path Dirs")
                                           << QStringLiteral("Error: Failed to modify Visual registry") << true;
    QTest::newRow("Restore Path write fails") << hiveHeader + directoriesSection(oldList) << QByteArray("Restore Path")
                                              << QStringLiteral("Error: Failed to modify Razazadu registry") << false;
}

void BuildDirsTest::installFailures()
{
    QFETCH(QByteArray, hive);
    QFETCH(QByteArray, failingValue);
    QFETCH(QString, box);
    QFETCH(bool, restorePathWritten);
    HiveFixture fixture(hive);
    const StoredValue before = pathDirs(fixture);
    if (!failingValue.isEmpty())
        winregInjectFault("RegSetValueExA", failingValue.constData(), ERROR_ACCESS_DENIED);
    QCOMPARE(runAction(Action::Install), QStringList(box));
    winregClearFaults();
    // The search path is never left changed after a failure.
    QCOMPARE(pathDirs(fixture), before);
    QCOMPARE(restorePath(fixture) == textValue(oldList), restorePathWritten);
}

void BuildDirsTest::restoreFailures_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<bool>("failWrite");
    QTest::addColumn<QString>("box");

    QTest::newRow("no Directories key") << hiveHeader + optionsSection("\"Restore Path\"=\"C:\\\\old\"\n") << false
                                        << QStringLiteral("Error: Unable to open key for MS compiler");
    QTest::newRow("no Restore Path") << hiveHeader + directoriesSection(oldList) << false
                                     << QStringLiteral("Error: Unable to open the restore key");
    QTest::newRow("Restore Path too long")
        << hiveHeader + optionsSection("\"Restore Path\"=\"" + QByteArray(1024, 'r') + "\"\n") + directoriesSection(oldList)
        << false << QStringLiteral("Error: Unable to open the restore key");
    QTest::newRow("Path Dirs write fails")
        << hiveHeader + optionsSection("\"Restore Path\"=\"C:\\\\old\"\n") +
               directoriesSection("C:\\Prod\\targets\\cvisual6\\cmd;C:\\Prod\\bin\\intel\\win32;C:\\Common;C:\\old")
        << true
        << QStringLiteral("Error: Restore key creation failed");
}

void BuildDirsTest::restoreFailures()
{
    QFETCH(QByteArray, hive);
    QFETCH(bool, failWrite);
    QFETCH(QString, box);
    HiveFixture fixture(hive);
    if (failWrite)
        winregInjectFault("RegSetValueExA", "Path Dirs", ERROR_ACCESS_DENIED);
    const auto before = keyValues(fixture.text(), directoriesKeyName);
    QCOMPARE(runAction(Action::Restore), QStringList(box));
    winregClearFaults();
    QCOMPARE(keyValues(fixture.text(), directoriesKeyName), before);
}

void BuildDirsTest::installThenRestoreGivesTheOldListBack()
{
    // An expandable string comes back as a plain one: the action always writes REG_SZ.
    HiveFixture hive(hiveHeader + hiveSection(directoriesKeyPath, "\"Path Dirs\"=str(2):\"C:\\\\VC98;%SystemRoot%\"\n"));
    QCOMPARE(runAction(Action::Install), QStringList());
    QVERIFY(pathDirs(hive).data.startsWith("C:\\Prod\\targets"));
    QCOMPARE(runAction(Action::Restore), QStringList());
    QCOMPARE(pathDirs(hive), textValue("C:\\VC98;%SystemRoot%"));
    // Restore Path stays, and a second restore writes the same list again.
    QCOMPARE(restorePath(hive), textValue("C:\\VC98;%SystemRoot%"));
    QCOMPARE(runAction(Action::Restore), QStringList());
    QCOMPARE(pathDirs(hive), textValue("C:\\VC98;%SystemRoot%"));
}

void BuildDirsTest::restoreKeepsLaterEdits_data()
{
    QTest::addColumn<QByteArray>("current"); // Path Dirs at uninstall; absent when null
    QTest::addColumn<QByteArray>("kept");    // Restore Path
    QTest::addColumn<QByteArray>("expected"); // absent when null
    const QByteArray product = "C:\\Prod\\targets\\cvisual6\\cmd;C:\\Prod\\bin\\intel\\win32;C:\\Common";
    QTest::newRow("as installed") << product + ";" + oldList << oldList << oldList;
    QTest::newRow("as installed, empty kept list") << product + ";" << QByteArray("") << QByteArray("");
    QTest::newRow("directory added behind") << product + ";" + oldList + ";C:\\MyLib\\bin" << oldList
                                            << oldList + ";C:\\MyLib\\bin";
    QTest::newRow("directory added in front") << "C:\\MyLib\\bin;" + product + ";" + oldList << oldList
                                              << "C:\\MyLib\\bin;" + oldList;
    QTest::newRow("stale kept list") << QByteArray("C:\\New;C:\\WINDOWS") << QByteArray("C:\\Old")
                                     << QByteArray("C:\\New;C:\\WINDOWS");
    QTest::newRow("stale kept list, product inside") << "C:\\New;" + product + ";C:\\WINDOWS" << QByteArray("C:\\Old")
                                                     << QByteArray("C:\\New;C:\\WINDOWS");
    QTest::newRow("only first occurrences go") << product + ";" + product << QByteArray("C:\\Old") << product;
    QTest::newRow("part of an element stays") << QByteArray("C:\\Prod\\bin\\intel\\win32\\x;C:\\Commons")
                                              << oldList << QByteArray("C:\\Prod\\bin\\intel\\win32\\x;C:\\Commons");
    QTest::newRow("one directory left") << "C:\\Prod\\bin\\intel\\win32;" + oldList << QByteArray("C:\\Old") << oldList;
    QTest::newRow("no Path Dirs") << QByteArray() << oldList << QByteArray();
}

void BuildDirsTest::restoreKeepsLaterEdits()
{
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, expected);
    const QByteArray directories = current.isNull() ? hiveSection(directoriesKeyPath, "\"Include Dirs\"=\"C:\\\\inc\"\n")
                                                    : directoriesSection(current);
    HiveFixture hive(hiveHeader + optionsSection("\"Restore Path\"=\"" + escapedForHive(kept) + "\"\n") + directories);
    QCOMPARE(runAction(Action::Restore), QStringList());
    QCOMPARE(pathDirs(hive), expected.isNull() ? StoredValue() : textValue(expected));
    QCOMPARE(restorePath(hive), textValue(kept));
}

void BuildDirsTest::listsAtTheirLimits_data()
{
    QTest::addColumn<int>("productLength");
    QTest::addColumn<int>("oldLength"); // -1: as long as still fits
    QTest::addColumn<int>("beyond"); // characters added to that
    QTest::addColumn<QString>("box");
    const QString tooLong = QStringLiteral("Error: Failed to modify Visual registry");
    QTest::newRow("fits exactly") << 7 << -1 << 0 << QString();
    QTest::newRow("one too long") << 7 << -1 << 1 << tooLong;
    QTest::newRow("longest readable list") << 7 << 1023 << 0 << tooLong;
    QTest::newRow("product directory of 1023") << 1023 << 0 << 0 << tooLong;
    QTest::newRow("product directory of 1024") << 1024 << 10 << 0 << tooLong;
}

void BuildDirsTest::listsAtTheirLimits()
{
    QFETCH(int, productLength);
    QFETCH(int, oldLength);
    QFETCH(int, beyond);
    QFETCH(QString, box);
    const QByteArray product = "C:\\" + QByteArray(productLength - 3, 'd');
    qputenv("TINDRALDIR", product);
    const QByteArray composed = product + "\\targets\\cvisual6\\cmd;" + product + "\\bin\\intel\\win32;C:\\Common;";
    const QByteArray old((oldLength < 0 ? 1023 - int(composed.size()) : oldLength) + beyond, 'o');
    HiveFixture hive(hiveHeader + directoriesSection(old));
    QCOMPARE(runAction(Action::Install), box.isEmpty() ? QStringList() : QStringList(box));
    if (box.isEmpty()) {
        QCOMPARE(pathDirs(hive), textValue(composed + old));
        QCOMPARE(pathDirs(hive).data.size(), 1024);
    } else {
        // Nothing cut off is written, and the kept list is not overwritten either.
        QCOMPARE(pathDirs(hive), textValue(old));
        QCOMPARE(restorePath(hive), StoredValue());
    }
}

void BuildDirsTest::unterminatedListIsReadAsItsText()
{
    // "C:\x" stored as UTF-16 without its terminator, as another program may leave it.
    HiveFixture hive(hiveHeader + hiveSection(directoriesKeyPath, "\"Path Dirs\"=hex(1):43,00,3a,00,5c,00,78,00\n"));
    QCOMPARE(runAction(Action::Install), QStringList());
    QCOMPARE(restorePath(hive), textValue("C:\\x"));
    QCOMPARE(pathDirs(hive), textValue("C:\\Prod\\targets\\cvisual6\\cmd;C:\\Prod\\bin\\intel\\win32;C:\\Common;C:\\x"));
}

void BuildDirsTest::productDirectoriesAlreadyPresentAreAddedAgain()
{
    HiveFixture hive(hiveHeader + directoriesSection(oldList));
    runAction(Action::Install);
    const QByteArray once = pathDirs(hive).data.chopped(1);
    runAction(Action::Install);
    QCOMPARE(restorePath(hive), textValue(once));
    QVERIFY(pathDirs(hive).data.endsWith(";" + once + '\0'));
}

QTEST_MAIN(BuildDirsTest)
#include "tst_builddirs.moc"
