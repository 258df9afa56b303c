#include "i18nutil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>
#include <vector>

namespace {

// The installed translators, kept for as long as the process runs.
std::vector<std::unique_ptr<QTranslator>> &installedTranslators()
{
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

} // namespace

QString catalogueDirectory(const QString &productDirectory)
{
    return productDirectory + QDir::separator() + QStringLiteral("lib") + QDir::separator() + QStringLiteral("locale");
}

QString loadTranslations(QApplication *application, const QStringList &prefixes, const QString &productDirectory,
                         const QString &localDirectory, bool *catalogueMissing)
{
    if (productDirectory.isEmpty())
        return QStringLiteral("Fatal Error: please setup TINDRALDIR environment variable.\n");
    // A product directory named as the registry names it (a Windows drive path under Wine) is looked up where it lies.
    const QFileInfo directory(catalogueDirectory(localDirectory));
    if (catalogueMissing)
        *catalogueMissing = !directory.isDir();
    if (!directory.isDir())
        return QStringLiteral("Fatal Error: directory doesn't exist '%1'\n").arg(directory.filePath(), 0);
    const QString locale = QLocale::system().name();
    for (const QString &prefix : prefixes) {
        // One that found no catalogue is dropped at once.
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(prefix + locale, directory.filePath())) {
            application->installTranslator(translator.get());
            installedTranslators().push_back(std::move(translator));
        }
    }
    return QString();
}
