// Translations with real catalogues, for a German system locale: the window's
// caption, the status text and the boxes' captions and texts.
#include "../apptest.h"
#include "app/plugininstall.h"
#include "i18n/i18nutil.h"

#include <QApplication>
#include <QDir>
#include <QtTest>

namespace {

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

// A product directory whose lib/locale holds the German catalogue under the given name.
void makeProduct(const QTemporaryDir &product, const QString &catalogueName)
{
    QDir().mkpath(catalogueDirectory(product.path()));
    QFile::copy(QStringLiteral(IDEWEAVE_GERMAN_CATALOGUE), catalogueDirectory(product.path()) + QLatin1Char('/') + catalogueName);
}

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void untranslatedWithoutMatchingCatalogue();
    void translatedForTheSystemLocale();
};

void TranslationsTest::untranslatedWithoutMatchingCatalogue()
{
    QCOMPARE(QLocale::system().name(), QStringLiteral("de_DE"));
    QTemporaryDir product;
    makeProduct(product, QStringLiteral("ideweave_fr.qm"));
    qputenv("TINDRALDIR", product.path().toLocal8Bit());
    loadTranslations(application(), {QStringLiteral("ideweave_")});
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tindral for VisualC++ 6.0 Installation"));
    HiveFixture hive(hiveHeader + toolsSection(0));
    BoxWatcher watcher;
    window->runMode(ModeInstall);
    QCOMPARE(window->text(), QStringLiteral("Corvessa Brackwater Tindral options installed"));
    QCOMPARE(watcher.texts(), QStringList(QStringLiteral("Error: Unable to open key for Visual")));
}

void TranslationsTest::translatedForTheSystemLocale()
{
    // de_DE falls back to the catalogue named for de; a trailing separator does no harm.
    QTemporaryDir product;
    makeProduct(product, QStringLiteral("ideweave_de.qm"));
    qputenv("TINDRALDIR", product.path().toLocal8Bit() + "/");
    loadTranslations(application(), {QStringLiteral("ideweave_")});
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tindral für VisualC++ 6.0 – Installation"));
    HiveFixture hive;
    BoxWatcher watcher;
    window->runMode(ModeInstall);
    QCOMPARE(window->text(), QStringLiteral("Corvessa Brackwater Tindral: Optionen sind nicht installiert"));
    QCOMPARE(watcher.texts(), QStringList(QStringLiteral("Hinweis: Corvessa Brackwater Tindral Fehler #1")));
}

int main(int argc, char **argv)
{
    // The system locale is read once, when the application starts.
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TranslationsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translations.moc"
