// Loads the product's translation catalogues for the system locale.
#pragma once

#include <QStringList>

class QApplication;

// The product's catalogue directory: <TINDRALDIR>/lib/locale.
QString catalogueDirectory(const QString &productDirectory);

// Installs one catalogue for each prefix ("<prefix><locale>.qm", with the usual
// fallback to shorter locale names) from the catalogue directory. Returns why
// that cannot be done (no TINDRALDIR, no catalogue directory), or "" when it
// was; catalogueMissing, when given, tells the second cause from the first.
// productDirectory is TINDRALDIR as given, localDirectory where it lies on this machine.
QString loadTranslations(QApplication *application, const QStringList &prefixes, const QString &productDirectory,
                         const QString &localDirectory, bool *catalogueMissing = nullptr);
