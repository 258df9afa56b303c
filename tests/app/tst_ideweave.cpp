// The program on real hive files: each table below is one behaviour, its rows
// the registry before a run, the run, and what the user sees and the registry
// holds after it. In-process runs show real message boxes, which the test reads
// and closes; quiet runs start the built program with no display.
#include "../support/apptest.h"
#include "app/plugininstall.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString installed = "Corvessa Brackwater Tindral options installed";
const QString notInstalled = "Corvessa Brackwater Tindral options is not installed";
const QString uninstalled = "Corvessa Brackwater Tindral options uninstalled";
// A dry run's outcome: what a run would do.
QString dryRunForm(const QString &text)
{
    return text == installed || text == uninstalled ? QString(text).replace("options ", "options would be ") : text;
}
const QString already = "Corvessa Brackwater Tindral options is already installed";
const QString notUninstalled = "Corvessa Brackwater Tindral options is not uninstalled";
const QString usage = "Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall";
const QString noRoom = "Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.";
const QString noCount = "Info: Corvessa Brackwater Tindral Error #2";
const QString pathTooLong = "Info: Corvessa Brackwater Tindral Error #4";
const QString notWritten = "Error: Failed to modify Visual registry";
const QString noKeptList = "Error: Unable to open the restore key";

const QByteArray P = "C:\\P"; // the product directory of most rows
const QByteArray old = "C:\\VC98\\BIN;C:\\WINDOWS";
const QByteArray a = "C:\\a.exe", b = "C:\\b.exe";

QByteArray viewer(const QByteArray &product = P) { return product + "\\bin\\intel\\win32\\tindview.exe"; }
QByteArray optionsTool(const QByteArray &product = P) { return product + "\\bin\\intel\\win32\\tindopts.exe"; }
QByteArray productDirs(const QByteArray &product = P)
{
    return product + "\\targets\\cvisual6\\cmd;" + product + "\\bin\\intel\\win32;C:\\Common";
}
QList<QByteArray> tools(int count)
{
    QList<QByteArray> programs;
    for (int i = 0; i < count; ++i)
        programs << "C:\\Tools\\tool" + QByteArray::number(i) + ".exe";
    return programs;
}
QByteArray freshHive(const QList<QByteArray> &programs, const QByteArray &pathDirs = old)
{
    return hiveHeader + directories(pathDirs) + menu(programs);
}
// What an install of product makes of freshHive(programs, pathDirs).
QByteArray installedHive(const QList<QByteArray> &programs, const QByteArray &pathDirs = old, const QByteArray &product = P)
{
    return hiveHeader + options(pathDirs, true) + directories(productDirs(product) + ";" + pathDirs) +
           menu(programs + QList<QByteArray>{viewer(product), optionsTool(product)});
}

void row(const char *name, const QByteArray &before, Mode mode, const QString &text, const QStringList &boxes = {},
         const QByteArray &after = {}, const QByteArray &product = P, const char *failingValue = "")
{
    QTest::newRow(name) << before << int(mode) << product << QByteArray(failingValue) << text << boxes << after;
}

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator below(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (below.hasNext())
        files << below.next();
    files.sort();
    return files;
}

} // namespace

class IdeweaveTest : public QObject {
    Q_OBJECT

private slots:
    void decisions_data();
    void decisions() { runRow(); }
    void toolsMenu_data();
    void toolsMenu() { runRow(); }
    void searchPath_data();
    void searchPath() { runRow(); }
    void quietRuns_data();
    void quietRuns();
    void runLog();

private:
    void addColumns();
    void runRow();
};

void IdeweaveTest::addColumns()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("product"); // TINDRALDIR; "PREFIX" stands for the Wine prefix
    QTest::addColumn<QByteArray>("failingValue"); // a value whose writes fail, or "the save"
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QByteArray>("after"); // null: the file stays as it was
}

void IdeweaveTest::runRow()
{
    QFETCH(QByteArray, before);
    QFETCH(int, mode);
    QFETCH(QByteArray, product);
    QFETCH(QByteArray, failingValue);
    QFETCH(QString, text);
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, after);
    HiveFixture hive(before);
    qputenv("TINDRALDIR", product.replace("PREFIX", hive.prefix().toLocal8Bit()));
    QDir::setCurrent(hive.prefix() + "/drive_c"); // where relative product directories start
    const bool changes = programKeys(after.isNull() ? before : after) != programKeys(before);
    const ProductDirectory productDirectory = locateProductDirectory(product.toStdString());
    // A dry run first: the same boxes and outcome, and the file as it was.
    if (failingValue.isEmpty()) {
        std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
        BoxWatcher watcher;
        const RunOutcome dry = window->runMode(Mode(mode), productDirectory, true);
        QCOMPARE(window->text(), dryRunForm(text));
        QCOMPARE(watcher.boxes, QStringList(boxes).replaceInStrings("PREFIX", hive.prefix()));
        QCOMPARE(dry.changed, changes);
        QCOMPARE(hive.text(), before);
    }
    failWritesOf(failingValue);
    if (failingValue == "the save") // where the new file must go stands a directory
        QDir().mkpath(hive.hivePath() + ".ideweave-new");
    // A wineserver under a TMPDIR of its own, which the run's lock cannot hold off, starts while the new file is put in place.
    QTemporaryDir serverTmpdir;
    WineServerGuard wine(hive.prefix(), serverTmpdir.path());
    if (failingValue == "Wine starting")
        beforeRename([&] { wine.start(); });
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    QCOMPARE(window->windowTitle(), "Tindral for VisualC++ 6.0 Installation");
    QVERIFY(window->icon() == QMessageBox::Information && window->standardButtons() == QMessageBox::Ok && window->isModal());
    BoxWatcher watcher;
    // While a box waits for the user, the run's changes are saved and another run may go on.
    QByteArray textWhileBoxesWait;
    watcher.onBox = [&]() {
        const int prefix = ::open(QFile::encodeName(hive.prefix()).constData(), O_RDONLY | O_DIRECTORY);
        textWhileBoxesWait = ::flock(prefix, LOCK_EX | LOCK_NB) == 0 ? hive.text() : "locked";
        ::close(prefix);
    };
    const RunOutcome outcome = window->runMode(Mode(mode), productDirectory);
    failWritesOf({});
    beforeRename({});
    if (!boxes.isEmpty())
        QCOMPARE(textWhileBoxesWait, hive.text());
    QCOMPARE(window->text(), text);
    QCOMPARE(watcher.boxes, boxes.replaceInStrings("PREFIX", hive.prefix()));
    QCOMPARE(outcome.problemShown, !boxes.isEmpty());
    QCOMPARE(outcome.changed, changes);
    if (after.isNull())
        QCOMPARE(hive.text(), before);
    QCOMPARE(programKeys(hive.text()), programKeys(after.isNull() ? before : after));
}

void IdeweaveTest::decisions_data()
{
    addColumns();
    const QByteArray done = installedHive({a, b});
    row("absent, install", freshHive({a, b}), ModeInstall, installed, {}, done);
    row("absent, uninstall", freshHive({a, b}), ModeUninstall, notInstalled);
    row("absent, no mode", freshHive({a, b}), ModeNone, usage);
    row("present, uninstall", done, ModeUninstall, uninstalled, {},
        hiveHeader + options(old, false) + freshHive({a, b}).mid(hiveHeader.size()));
    row("present, install", done, ModeInstall, already);
    row("present, no mode", done, ModeNone, usage);
    const QByteArray marker25 = "\"ACTIVATION\"=hex:" + QByteArray("00,").repeated(24) + "00";
    row("a marker of 25 bytes", freshHive({a, b}) + section(OptionsKey, marker25 + "\n"), ModeInstall, already);
    row("a marker of 26 bytes is none", freshHive({a, b}) + section(OptionsKey, marker25 + ",00\n"), ModeInstall, installed, {}, done);
    row("a marker of any type", freshHive({a, b}) + section(OptionsKey, "\"ACTIVATION\"=\"yes\"\n"), ModeInstall, already);
    row("a save that fails", freshHive({a, b}), ModeInstall, "Text",
        {"Error: Cannot save the registry 'PREFIX/user.reg': cannot create PREFIX/user.reg.ideweave-new: File exists"}, {}, P, "the save");
    // The new file is in place, but a Wine that started meanwhile may undo it: changed, and a problem, never "installed".
    row("Wine starts during the save", freshHive({a, b}), ModeInstall, "Text",
        {"Error: Cannot save the registry 'PREFIX/user.reg': Wine started for the prefix PREFIX while its registry was saved, "
         "and may undo the change when it exits: close the programs running under Wine, or run 'wineserver -k', and run ideweave again"},
        done, P, "Wine starting");
}

void IdeweaveTest::toolsMenu_data()
{
    addColumns();
    // Adding behind the user's entries.
    const QByteArray noMenu = hiveHeader + directories(old);
    row("an empty menu", freshHive({}), ModeInstall, installed, {}, installedHive({}));
    row("fourteen entries", freshHive(tools(14)), ModeInstall, installed, {}, installedHive(tools(14)));
    row("fifteen entries", freshHive(tools(15)), ModeInstall, notInstalled, {noRoom});
    row("no Tools key", noMenu, ModeInstall, notInstalled, {"Info: Corvessa Brackwater Tindral Error #1"});
    row("no count", noMenu + menu(tools(2), ""), ModeInstall, notInstalled, {noCount});
    row("a negative count", noMenu + menu(tools(2), "dword:fffffffe"), ModeInstall, notInstalled, {noCount});
    row("the largest count", noMenu + menu(tools(1), "dword:7fffffff"), ModeInstall, notInstalled, {noRoom});
    row("a count stored as binary is no count", noMenu + menu({}, "hex:03,00,00,00"), ModeInstall, notInstalled, {noCount});
    row("a count of 1 byte", noMenu + menu(tools(3), "hex(4):03"), ModeInstall, installed, {}, installedHive(tools(3)));
    // Program paths that an uninstall reads back in 254 characters.
    const QByteArray longest = "C:\\" + QByteArray(254 - 29 - 3, 'p');
    row("program paths of 254 characters", freshHive({}), ModeInstall, installed, {}, installedHive({}, old, longest), longest);
    // The product's entries there already, with no marker (removed by hand): only what is missing is added.
    row("the product's entries without a marker", freshHive({a, viewer(), optionsTool()}), ModeInstall, installed, {},
        installedHive({a, viewer(), optionsTool()}).replace(menu({a, viewer(), optionsTool(), viewer(), optionsTool()}),
                                                            menu({a, viewer(), optionsTool()})));
    row("the viewer's entry without a marker", freshHive({a, "c:/p/bin/intel/win32/TINDVIEW.EXE"}), ModeInstall, installed, {},
        installedHive({a}).replace(menu({a, viewer(), optionsTool()}), menu({a, "c:/p/bin/intel/win32/TINDVIEW.EXE", optionsTool()})));
    row("program paths of 255 characters", freshHive({}), ModeInstall, notInstalled, {pathTooLong}, {}, longest + "p");
    row("beyond every buffer", freshHive({}), ModeInstall, notInstalled, {pathTooLong, notWritten}, {}, "C:\\" + QByteArray(5000, 'p'));
    // Taking the product's entries out, and the entries behind them down.
    auto removal = [](const char *name, const QList<QByteArray> &before, const QList<QByteArray> &after,
                      const char *count = nullptr, const char *countAfter = nullptr, const QByteArray &extra = {}) {
        row(name, hiveHeader + options(old, true) + directories(productDirs() + ";" + old) + menu(before, count) + extra,
            ModeUninstall, uninstalled, {}, hiveHeader + options(old, false) + directories(old) + menu(after, countAfter) + extra);
    };
    const QByteArray beyondAscii = "\"Men\\xfcName#0\"=\"\\x20ac\"\n\"PathName#\\x0661\"=\"tindview.exe\"\n";
    removal("between the user's entries", {a, viewer(), optionsTool(), b}, {a, b}, nullptr, nullptr, beyondAscii);
    removal("first and last", {viewer(), a, b, optionsTool()}, {a, b});
    removal("the main program's entry too", {"C:\\P\\tindmain.exe", a, optionsTool()}, {a});
    removal("the product's path in another spelling", {a, "c:/p//BIN\\intel\\win32\\TINDVIEW.EXE", optionsTool()}, {a});
    const QByteArray lookalike = "C:\\Old\\bin\\tindview.exe";
    removal("a lookalike of the user's before the product's entry stays", {lookalike, b, viewer(), optionsTool()}, {lookalike, b});
    removal("without the product's path, the pattern in any case", {"C:\\Else\\TindView.EXE", a}, {a});
    // A count that is no number finds no entry: the uninstall changes nothing and says why, so that
    // the marker stays and the next uninstall, once the menu is mended, finishes.
    row("a count stored as text: nothing taken out", hiveHeader + options(old, true) + directories(productDirs() + ";" + old) +
        menu({viewer()}, "\"1\""), ModeUninstall, notUninstalled, {noCount});
    removal("a directory of that name", {a, "C:\\tindview.exe\\x.exe"}, {a});
    const QByteArray longTool = "C:\\" + QByteArray(300, 'x'); // its texts do not fit 255 bytes
    removal("unreadable paths passed over, long values moved whole", {"", viewer(), longTool, a}, {"", longTool, a});
    const QByteArray edge = "C:\\" + QByteArray(254 - 3 - 13, 'd') + "\\tindview.exe";
    removal("a path of 254 characters", {edge}, {});
    removal("a path of 255 characters", {edge + "x"}, {edge + "x"});
    removal("no count", {viewer()}, {viewer()}, "", "");
    QList<QByteArray> eighteen = tools(18), moved = tools(18);
    eighteen[3] = viewer();
    moved.removeAt(3);
    moved.insert(15, "-");
    removal("sixteen places at the most", eighteen, moved, "dword:7fffffff", "dword:0000000f");
    // Every value moves with its own type and bytes, whatever the layout says it should be.
    const QList<QPair<QByteArray, QByteArray>> ownTypes = {
        {"\"PathName#1\"=\"C:\\\\b.exe\"", "\"PathName#1\"=str(2):\"%WINDIR%\\\\b.exe\""},
        {"\"DefaultArguments#1\"=\"-a C:\\\\b.exe\"", "\"DefaultArguments#1\"=str(7):\"one\\0two\\0\""},
        {"\"MenuName#1\"=\"Tool C:\\\\b.exe\"", "\"MenuName#1\"=hex:00,ff,10"},
        {"\"CloseWindow#1\"=dword:00000008", "\"CloseWindow#1\"=hex(4):08"},
        {"\"GUITool#1\"=dword:00000001", "\"GUITool#1\"=\"1\""},
        {"\"InitialDirectory#1\"=\"$(WkspDir)\"", "\"InitialDirectory#1\"=hex(1):24,00,28,00"},
    };
    QByteArray typed = menu({viewer(), b}), typedAfter = menu({b});
    for (const auto &[layoutLine, ownLine] : ownTypes) {
        typed.replace(layoutLine, ownLine);
        typedAfter.replace(QByteArray(layoutLine).replace("#1", "#0"), QByteArray(ownLine).replace("#1", "#0"));
    }
    // A string stored without its terminator gets one when it is written again, as Windows adds it.
    typedAfter.replace("\"InitialDirectory#0\"=hex(1):24,00,28,00", "\"InitialDirectory#0\"=\"$(\"");
    row("moved values keep their own types and bytes", hiveHeader + options(old, true) + directories(old) + typed, ModeUninstall,
        uninstalled, {}, hiveHeader + options(old, false) + directories(old) + typedAfter);
}

void IdeweaveTest::searchPath_data()
{
    addColumns();
    // The product's directories in front.
    auto composed = [](const char *name, const QByteArray &product, const QByteArray &form, const QByteArray &pathDirs) {
        row(name, freshHive({}), ModeInstall, installed, {},
            hiveHeader + options(old, true) + directories(pathDirs + ";" + old) + menu({viewer(form), optionsTool(form)}), product);
    };
    composed("with a trailing backslash", "D:\\kit\\rt\\", "D:\\kit\\rt\\",
             "D:\\kit\\rt\\\\targets\\cvisual6\\cmd;D:\\kit\\rt\\\\bin\\intel\\win32;D:\\kit\\Common");
    composed("relative", "./kit/rt/", "C:\\kit\\rt\\", "C:\\kit\\rt\\\\targets\\cvisual6\\cmd;C:\\kit\\rt\\\\bin\\intel\\win32;C:\\kit\\Common");
    // Common beside the product directory as Windows resolves it.
    composed("with a dot", "C:\\Tindral\\.", "C:\\Tindral\\.",
             "C:\\Tindral\\.\\targets\\cvisual6\\cmd;C:\\Tindral\\.\\bin\\intel\\win32;C:\\Common");
    composed("a Unix path in the prefix", "PREFIX/drive_c/Tindral", "C:\\Tindral", productDirs("C:\\Tindral"));
    row("an empty search path", freshHive({}, ""), ModeInstall, installed, {}, installedHive({}, ""));
    row("a search path without terminator", hiveHeader + section(DirectoriesKey, "\"Path Dirs\"=hex(1):43,00,3a,00,5c,00,78,00\n") + menu({}),
        ModeInstall, installed, {}, installedHive({}, "C:\\x"));
    const QByteArray fits(1023 - productDirs().size() - 1, 'o');
    row("a search path that just fits", freshHive({}, fits), ModeInstall, installed, {}, installedHive({}, fits));
    // Failures: the search path never changes without the kept list.
    auto failed = [](const char *name, const QByteArray &keys, const QString &box, const QByteArray &after, const char *failingValue = "") {
        row(name, hiveHeader + keys + menu({}), ModeInstall, installed, {box},
            hiveHeader + after + menu({viewer(), optionsTool()}), P, failingValue);
    };
    const QByteArray includes = section(DirectoriesKey, "\"Include Dirs\"=\"C:\\\\inc\"\n");
    // A step that cannot be done is found before anything is written: nothing is.
    auto refused = [](const char *name, const QByteArray &keys, const QString &box) {
        row(name, hiveHeader + keys + menu({}), ModeInstall, notInstalled, {box});
    };
    refused("a search path one too long", directories(fits + "o"), notWritten);
    refused("no directories key", {}, "Error: Unable to open key for Visual");
    refused("no search path", includes, "Error: Unable to read Visual installation");
    refused("a search path of 1024 characters", directories(QByteArray(1024, 'p')), "Error: Unable to read Visual installation");
    failed("Restore Path cannot be written", directories(old), "Error: Failed to modify Razazadu registry",
           options({}, true) + directories(old), "Restore Path");
    failed("Path Dirs cannot be written", directories(old), notWritten, options(old, true) + directories(old), "Path Dirs");
    // Taking them out again; later edits stay.
    auto restored = [](const char *name, const QByteArray &kept, const QByteArray &current, const QByteArray &result,
                       const QStringList &boxes = {}, const char *failingValue = "") {
        row(name, hiveHeader + options(kept, true) + directories(current) + menu({}), ModeUninstall, uninstalled, boxes,
            hiveHeader + options(kept, false) + directories(result) + menu({}), P, failingValue);
    };
    const QByteArray pd = productDirs();
    restored("as installed", old, pd + ";" + old, old);
    restored("as installed from an empty list", "", pd + ";", "");
    restored("a directory added behind", old, pd + ";" + old + ";C:\\My", old + ";C:\\My");
    restored("a stale kept list", "C:\\Old", "C:\\New;" + pd + ";C:\\W", "C:\\New;C:\\W");
    restored("only first occurrences go", "C:\\Old", pd + ";" + pd, pd);
    restored("parts of elements stay", old, "C:\\P\\bin\\intel\\win32\\x;C:\\Commons", "C:\\P\\bin\\intel\\win32\\x;C:\\Commons");
    restored("a kept list of 1023 characters", QByteArray(1023, 'k'), "C:\\now", "C:\\now");
    // 1024 characters stored without a terminator fill the buffer: too long all the same.
    QByteArray unterminated = "\"ACTIVATION\"=hex:00\n\"Restore Path\"=hex(1):" + QByteArray("6b,00,").repeated(1024);
    unterminated.chop(1);
    row("a kept list of 1024 characters", hiveHeader + section(OptionsKey, unterminated + "\n") + directories("C:\\now") + menu({}),
        ModeUninstall, uninstalled, {noKeptList}, hiveHeader + section(OptionsKey, unterminated.mid(20) + "\n") + directories("C:\\now") + menu({}));
    restored("Path Dirs cannot be written", old, pd + ";" + old, pd + ";" + old, {"Error: Restore key creation failed"}, "Path Dirs");
    row("no kept list", hiveHeader + options({}, true) + directories(pd) + menu({}), ModeUninstall, uninstalled, {noKeptList},
        hiveHeader + directories(pd) + menu({}));
    // The product's directories in another spelling than the install's.
    const QByteArray slashed = productDirs("C:\\P\\");
    restored("installed with a trailing backslash", old, slashed + ";" + old, old);
    row("installed in capitals, edited since", hiveHeader + options(old, true) + directories("C:\\My;" + slashed + ";" + old) + menu({}),
        ModeUninstall, uninstalled, {}, hiveHeader + options(old, false) + directories("C:\\My;" + old) + menu({}), "c:\\p");
    // Installed with a spelling that Windows resolves to the uninstall's directory.
    auto spelled = [](const char *name, const QByteArray &installedAs) {
        row(name, hiveHeader + options(old, true) + directories(installedAs + ";" + old + ";C:\\My") + menu({}), ModeUninstall,
            uninstalled, {}, hiveHeader + options(old, false) + directories(old + ";C:\\My") + menu({}), "C:\\Tindral");
    };
    spelled("installed as C:/Tindral", "C:/Tindral\\targets\\cvisual6\\cmd;C:/Tindral\\bin\\intel\\win32;C:/Tindral\\..\\Common");
    spelled("installed as C:\\Tindral\\.", "C:\\Tindral\\.\\targets\\cvisual6\\cmd;C:\\Tindral\\.\\bin\\intel\\win32;C:\\Common");
    row("no directories key", hiveHeader + options(old, true) + menu({}), ModeUninstall, uninstalled,
        {"Error: Unable to open key for MS compiler"}, hiveHeader + options(old, false) + menu({}));
}

void IdeweaveTest::quietRuns_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // PREFIX stands for the prefix
    QTest::addColumn<QString>("setting"); // NAME=VALUE, or NAME to remove it, each after a blank
    auto quiet = [](const char *name, const QByteArray &hive, const char *arguments, int exitCode, const QString &out,
                    const QString &err = {}, const QString &setting = {}) {
        QTest::newRow(name) << hive << QString(arguments) << exitCode << out << err << setting;
    };
    // In quiet runs each of the program's own messages is followed by its cause and remedy.
    const QString noRoomRemedy = "ideweave: fewer than two of the Tools menu's 16 places are free: remove two tools in "
                                 "Developer Studio, then install again\n";
    const QString noMenuRemedy = "ideweave: Developer Studio has stored no Tools menu for this user: start Developer Studio "
                                 "once, open and close the Tools menu, then run again\n";
    const QString noSearchPathRemedy = "ideweave: Developer Studio has stored no search path for this user: open Tools, "
                                       "Options, Directories in Developer Studio once, then install again\n";
    const QByteArray hive = freshHive(tools(3));
    const QString usageHint = "ideweave: no -install or -uninstall given: 'ideweave --help' lists the options\n";
    // An install that cannot begin: a warning on standard error, status 255.
    auto warned = [&](const char *name, const QString &warning, const QString &setting, const QByteArray &before = {}) {
        quiet(name, before.isNull() ? hive : before, "-install -quiet", 255, "", "Warning: " + warning, setting);
    };
    quiet("install", hive, "reinstall /quiet", 0, installed + "\n");
    quiet("the last mode counts", hive, "-quiet -install uninstaller", 0, notInstalled + "\n");
    quiet("usage", hive, "-quiet -Install", 2, usage + "\n", usageHint);
    quiet("a toolkit option's value is no mode", hive, "-quiet -style install", 2, usage + "\n", usageHint);
    quiet("in German", hiveHeader, "-install -quiet", 1, "Corvessa Brackwater Tindral: Optionen sind nicht installiert\n",
          "Hinweis: Corvessa Brackwater Tindral Fehler #1\n" + noMenuRemedy + "Fehler: Der Schlüssel von Visual C++ lässt sich nicht öffnen\n" +
              noSearchPathRemedy,
          "LANG=de_DE.UTF-8");
    // A missing prefix is named as such, before the product's catalogues are looked for in it.
    warned("no prefix, install", "Cannot use the registry 'PREFIX/none/user.reg': the Wine prefix PREFIX/none does not exist\n",
           "WINEPREFIX=PREFIX/none");
    warned("no TINDRALDIR", "Fatal Error: please setup TINDRALDIR environment variable.\n"
           "ideweave: set TINDRALDIR to the product's installation directory, then run again\n", "TINDRALDIR");
    warned("no catalogue directory", "Fatal Error: directory doesn't exist 'PREFIX/dosdevices/c:/Missing//lib/locale'\n"
          "ideweave: TINDRALDIR names no installed product (its lib/locale is missing): name the product's installation directory\n",
          "TINDRALDIR=C:\\Missing\\");
    // The product removed before it was unhooked: the uninstall still takes it out.
    quiet("uninstall without catalogues", installedHive(tools(3), old, "C:\\Missing"), "-uninstall -quiet", 0, uninstalled + "\n",
          "ideweave: the catalogues are missing (directory doesn't exist 'PREFIX/dosdevices/c:/Missing/lib/locale'): "
          "uninstalling untranslated\n", "TINDRALDIR=C:\\Missing");
    // A key's values are read when it is used; those of the keys a run uses, before it begins.
    quiet("a malformed value of the search path's key", hiveHeader + section(DirectoriesKey, "\"x\"=bad\n"), "-uninstall -quiet", 255, "",
          "Warning: Cannot use the registry 'PREFIX/user.reg': line 8: unknown value type\n");
    // Wine takes only an absolute prefix, and without HOME the one in the home that the user's passwd entry names.
    warned("a relative prefix", "Cannot use the registry 'drive_c/../user.reg': WINEPREFIX 'drive_c/..' is not an absolute "
           "path, and Wine uses no other\n", "WINEPREFIX=drive_c/..");
    warned("no HOME", "Cannot use the registry 'HOME/.wine/user.reg': the Wine prefix HOME/.wine does not exist\n", "WINEPREFIX HOME");
    // The prefix has no drive for "/"; /usr/lib/locale exists on every system.
    warned("no drive leads to the product", "No drive of the Wine prefix 'PREFIX' leads to '/usr'\n", "TINDRALDIR=/usr");
    // Product directories that Windows programs cannot open, or Developer Studio cannot read, are never written.
    // The hive with the locale the prefix records for its user, or without one.
    auto recording = [&](const QByteArray &locale) {
        return locale.isEmpty() ? hive : hive + section("Control Panel\\International", "\"LocaleName\"=\"" + locale + "\"\n");
    };
    auto refused = [&](const char *name, const QString &folder, const QString &why, const QByteArray &locale = {}) {
        warned(name, "TINDRALDIR " + why + "\n", "TINDRALDIR=PREFIX/drive_c/" + folder, recording(locale));
    };
    const QString cannotOpen = ": Windows programs cannot open a path that holds it";
    refused("a '|' in the product directory", "a|b", "holds the character '|'" + cannotOpen);
    refused("a '\"' in the product directory", "a\"b", "holds the character '\"'" + cannotOpen);
    refused("a newline in the product directory", "a\nb", "holds the character 0x0A" + cannotOpen);
    refused("a ';' in the product directory", "a;b", "holds the character ';': it would split Developer Studio's search path at ';'");
    warned("a drive-relative product directory", "TINDRALDIR names 'C:Tindral', a path relative to the current folder of its "
           "drive, which programs do not share: name the product directory from the drive's root (C:\\...)\n", "TINDRALDIR=C:Tindral");
    const QString unreadable = "holds the character %1, which Developer Studio cannot read in the ANSI code page %2";
    refused("Cyrillic under code page 1252", "Кино", unreadable.arg("U+041A", "1252"));
    // The code page is that of the locale the prefix records for its user, whoever runs the program, as the
    // C library's data for it says: one language in two scripts; for Han characters, several double-byte
    // code pages write them, and Taiwan's is the one its legacy character set matches.
    refused("Cyrillic where the prefix records Serbian in Latin", "Кино", unreadable.arg("U+041A", "1250"), "sr-Latn-RS");
    refused("Latin where the prefix records Serbian in Cyrillic", "Šabac", unreadable.arg("U+0160", "1251"), "sr-Cyrl-RS");
    quiet("Cyrillic where the prefix records Serbian in Cyrillic", recording("sr-Cyrl-RS"), "-install -quiet", 0, installed + "\n",
          "", "TINDRALDIR=PREFIX/drive_c/Кино");
    refused("Simplified Chinese where the prefix records Chinese of Taiwan", "测试", unreadable.arg("U+6D4B", "950"), "zh-TW");
    // A program that holds the registry: the same run goes through once it is closed.
    quiet("Wine is running", hive, "-install -quiet --detailed-exitcodes", 75, "",
          "Warning: Cannot use the registry 'PREFIX/user.reg': Wine is running for the prefix PREFIX: close the programs "
          "running under Wine, or run 'wineserver -k', and try again\n");
    const char *const noDisplay = "Warning: Cannot open the status window: no display. Run with -quiet to work without a window.\n";
    quiet("no display", hive, "-install", 255, "", noDisplay);
    quiet("a display that does not answer", hive, "-install", 255, "", noDisplay, "DISPLAY=:4321");
    // Changed or not, as installers and configuration tools read it.
    const QByteArray done = installedHive(tools(3), old, "C:\\Tindral");
    const char *const detailed = "-quiet --detailed-exitcodes";
    quiet("changed", hive, "-install -quiet --detailed-exitcodes", 2, installed + "\n");
    quiet("nothing to change", done, "--detailed-exitcodes -install -quiet", 0, already + "\n");
    quiet("a problem, nothing changed", freshHive(tools(16)), "-install -quiet --detailed-exitcodes", 4, notInstalled + "\n",
          "Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.\n" + noRoomRemedy);
    quiet("changed, with a problem", hiveHeader + options(old, true) + menu(tools(3) << viewer() << optionsTool()),
          "-uninstall -quiet --detailed-exitcodes", 6, uninstalled + "\n", "Error: Unable to open key for MS compiler\n"
          "ideweave: Developer Studio's search path is gone: open Tools, Options, Directories in Developer Studio once to make it again\n");
    quiet("usage, in detail", hive, detailed, 64, usage + "\n", usageHint);
    // A dry run: each change it would make on a line of its own, its values escaped as a hive
    // writes them, whatever a user's entry holds; nothing saved.
    const QByteArray tindral = "C:\\Tindral";
    const QByteArray quirky = QByteArray(hiveHeader + options(old, true) + directories(productDirs(tindral) + ";" + old) +
                                         menu({viewer(tindral), optionsTool(tindral), a}))
                                  .replace(R"("MenuName#2"="Tool C:\\a.exe")", R"("MenuName#2"="Pr\x00fcfung \"quoted\" -> x")")
                                  .replace(R"("DefaultArguments#2"="-a C:\\a.exe")", R"("DefaultArguments#2"="\"$(FilePath)\"\nsecond")");
    const QString toolsKey = R"(would set HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools )";
    const QString movedName = toolsKey + R"("MenuName#0": "Corvessa Brackwater Tindral Viewer" -> "Pr\x00fcfung \"quoted\" -> x")";
    const QString movedArguments = toolsKey + R"("DefaultArguments#0": "*.fdc *.tsf tndout.spt tndout.tio tndout.tdf tndout.tqf )"
                                              R"(tndout.tpf" -> "\"$(FilePath)\"\nsecond")";
    quiet("a dry run: one change a line, values escaped", quirky, "-uninstall --dry-run -quiet", 0,
          "^(?=.*\n" + QRegularExpression::escape(movedName) + "\n)(?=.*\n" + QRegularExpression::escape(movedArguments) +
              "\n)(would (set|create|delete) HKEY_CURRENT_USER\\\\[^\n]* \"[^\n]*\": [^\n]*\n)+" +
              QRegularExpression::escape(dryRunForm(uninstalled)) + "\n$");
    // Where the product stands, read only, with no window and no catalogues.
    quiet("status: installed", done, "-status", 0,
          "marker: present\nviewer entry: 3\noptions entry: 4\nproduct directory: \"C:\\\\Tindral\"\n"
          "search path: starts with the product's directories\nstate: installed\n", "", "TINDRALDIR=C:\\Tindral");
    // Installed for another product directory: the entries it names are not this product's.
    quiet("status: installed for another directory", done, "-status", 1,
          "marker: present\nviewer entry: none\noptions entry: none\nproduct directory: \"C:\\\\Tindral\"\n"
          "search path: without the product's directories in front\nstate: partly installed, without both Tools entries, "
          "the search path's directories\n", "", "TINDRALDIR=C:\\Other");
    quiet("status: not installed", hive, "-status -install", 3,
          "marker: absent\nviewer entry: none\noptions entry: none\nproduct directory: none\n"
          "search path: without the product's directories in front\nstate: not installed\n");
    quiet("status: entries removed by hand", installedHive({}, old, "C:\\Tindral").replace("tindview.exe", "other.exe"), "--status", 1,
          "^marker: present\nviewer entry: none\noptions entry: 1\n.*state: partly installed, without both Tools entries\n$",
          "", "TINDRALDIR=C:\\Tindral");
    // Conventional options beside the historical ones.
    quiet("help", hive, "--help", 0, "^Usage: ideweave \\{-install\\|-uninstall\\}.*--dry-run.*--detailed-exitcodes.*-status.*"
          "TINDRALDIR.*WINEPREFIX.*", "", "TINDRALDIR");
    quiet("-h", hive, "-h -install", 0, "^Usage: ideweave ", "", "TINDRALDIR");
    quiet("version", hive, "--version", 0,
          "ideweave " IDEWEAVE_VERSION "\nCopyright (c) 2026 Brackwater Software\n"
          "MIT licence: this is free software, and there is NO WARRANTY.\n", "", "TINDRALDIR");
    quiet("--quiet", hive, "--quiet -install", 0, installed + "\n");
    quiet("an unknown option", hive, "-install --force -quiet", 2, "", "ideweave: unknown option '--force'\n");
    quiet("an unknown option, in detail", hive, "-install --force --detailed-exitcodes", 64, "", "ideweave: unknown option '--force'\n");
    // The product directory for this run; LOG stands for a folder outside the prefix.
    quiet("--tindraldir instead of TINDRALDIR", hive, "-install -quiet --tindraldir PREFIX/drive_c/Tindral", 0, installed + "\n",
          "", "TINDRALDIR");
    quiet("--tindraldir before TINDRALDIR", hive, "-install --tindraldir=PREFIX/drive_c/Tindral -quiet", 0, installed + "\n",
          "", "TINDRALDIR=C:\\Missing");
    quiet("--tindraldir without a value", hive, "-install -quiet --tindraldir", 2, "",
          "ideweave: the option '--tindraldir' needs a value\n");
    // Option values are names, never modes.
    quiet("a log named like a mode, in folders still to be made", hive, "-install -quiet --log LOG/logs/uninstall", 0, installed + "\n");
    quiet("a log that cannot be appended to", hive, "-install -quiet --log=LOG", 255, "",
          "ideweave: Cannot append to the log 'LOG': Is a directory\n");
    quiet("--log without a value", hive, "-uninstall -quiet --log=", 2, "", "ideweave: the option '--log' needs a value\n");
}

void IdeweaveTest::quietRuns()
{
    QFETCH(QByteArray, hive);
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, setting);
    HiveFixture fixture(hive, false);
    const QString product = fixture.prefix() + "/drive_c/Tindral";
    QDir().mkpath(product + "/lib/locale");
    QFile::copy(IDEWEAVE_GERMAN_CATALOGUE, product + "/lib/locale/ideweave_de.qm");
    QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LANGUAGE"})
        settings.remove(name);
    QTemporaryDir temporary; // where Debian's Wine, and so a run, would make its server folders
    WineServerGuard wine(fixture.prefix(), temporary.path());
    if (QTest::currentDataTag() == QLatin1String("Wine is running"))
        QCOMPARE(wine.start(), 0);
    settings.insert("TMPDIR", temporary.path());
    const QStringList filesBefore = filesBelow(fixture.prefix());
    settings.insert("LANG", "C.UTF-8");
    settings.insert("TINDRALDIR", product);
    for (const QString &change : setting.split(' ', Qt::SkipEmptyParts)) {
        const QString name = change.section('=', 0, 0), value = change.section('=', 1).replace("PREFIX", fixture.prefix());
        if (!change.contains('='))
            settings.remove(name);
        else
            settings.insert(name, value);
        if (name == "TINDRALDIR" && value.startsWith(fixture.prefix())) // a product directory of its own, with its catalogues
            QDir().mkpath(value + "/lib/locale");
    }
    if (setting.contains("HOME") && QFileInfo::exists(QDir::homePath() + "/.wine"))
        QSKIP("this user has a Wine prefix of its own");
    QProcess process;
    process.setProcessEnvironment(settings);
    process.start(IDEWEAVE_PROGRAM, arguments.replace("PREFIX", fixture.prefix()).replace("LOG", temporary.path()).split(' '));
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             err.replace(QRegularExpression("\\bPREFIX"), fixture.prefix()).replace("LOG", temporary.path()).replace("HOME", QDir::homePath()));
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    if (out.startsWith('^')) // a pattern for texts too long to spell out
        QVERIFY2(QRegularExpression(out, QRegularExpression::DotMatchesEverythingOption).match(printed).hasMatch(),
                 qPrintable(printed));
    else
        QCOMPARE(printed, out);
    QCOMPARE(process.exitCode(), exitCode);
    const bool dryRun = arguments.contains("--dry-run");
    QCOMPARE(fixture.text() != hive, !dryRun && (out.endsWith(installed + "\n") || out.endsWith(uninstalled + "\n")));
    // Runs that only read create nothing: no file in the prefix, no server folder of Wine's.
    if (dryRun || arguments.contains("-status")) {
        QCOMPARE(filesBelow(fixture.prefix()), filesBefore);
        QCOMPARE(QDir(temporary.path()).entryList({"wine-*"}, QDir::AllEntries | QDir::Hidden), QStringList());
    }
}

// Each run appends one record, in the order of the run, to a log made as the
// user's programs make files; what a run found and did stays readable there.
void IdeweaveTest::runLog()
{
    HiveFixture fixture(freshHive(tools(15)), false);
    const QString product = fixture.prefix() + "/drive_c/Tindral";
    QDir().mkpath(product + "/lib/locale");
    QTemporaryDir folder;
    const QString log = folder.filePath("ideweave.log");
    auto runWithLog = [&](const QStringList &arguments) {
        QProcess process;
        QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
        settings.insert("TINDRALDIR", product);
        settings.insert("LANG", "C.UTF-8");
        settings.insert("TMPDIR", folder.path());
        process.setProcessEnvironment(settings);
        process.start(IDEWEAVE_PROGRAM, arguments + QStringList{"-quiet", "--log", log});
        return process.waitForFinished(30000) ? process.exitCode() : -1;
    };
    QCOMPARE(runWithLog({"-install"}), 1); // no room in the menu
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat made;
    QVERIFY(::stat(QFile::encodeName(log).constData(), &made) == 0);
    QCOMPARE(made.st_mode & 0777, 0666 & ~mask);
    fixture.setText(freshHive(tools(3)));
    QCOMPARE(runWithLog({"--dry-run", "-install"}), 0);
    QCOMPARE(runWithLog({"-install"}), 0);
    QCOMPARE(runWithLog({"-uninstall", "-status"}), 0);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList records = QString::fromUtf8(file.readAll()).split("\n\n");
    QCOMPARE(records.size(), 5); // four records, each ending in an empty line
    const QString heading = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ ideweave " IDEWEAVE_VERSION "\nuser: " +
                            QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name) + "\ncommand line: ";
    const QString logged = " -quiet --log " + QRegularExpression::escape(log) + "\nregistry: " +
                           QRegularExpression::escape(fixture.hivePath()) + "\n";
    const QString change = "HKEY_CURRENT_USER\\\\[^\n]*\n";
    const QStringList expected = {
        "-install" + logged + "mode: install\nmessage: Info: TOO MANY TOOLS INSTALLED\\.[^\n]*\n +Free at least two "
        "spaces in the tools menu bar\\.\noutcome: " + notInstalled + "\nexit status: 1",
        "--dry-run -install" + logged + "mode: install, dry run\n(would change: (set|create) " + change + "){26}outcome: " +
            QRegularExpression::escape(dryRunForm(installed)) + "\nexit status: 0",
        "-install" + logged + "mode: install\n(change: (set|create) " + change + "){26}outcome: " + installed + "\nexit status: 0",
        "-uninstall -status" + logged + "mode: status\nexit status: 0",
    };
    for (int index = 0; index < expected.size(); ++index)
        QVERIFY2(QRegularExpression("^" + heading + expected[index] + "$").match(records[index]).hasMatch(),
                 qPrintable(records[index]));
}

QTEST_MAIN(IdeweaveTest)
#include "tst_ideweave.moc"
