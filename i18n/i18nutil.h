// Loads the product's translation catalogues for the system locale.
#pragma once

#include <QStringList>

class QApplication;

// The product's catalogue directory: <TINDRALDIR>/lib/locale.
QString catalogueDirectory(const QString &productDirectory);

// Installs one catalogue for each prefix ("<prefix><locale>.qm", with the usual
// fallback to shorter locale names) from the catalogue directory. Without
// TINDRALDIR or the catalogue directory it shows a warning and ends the process
// with status -1; it returns only when the set-up succeeded.
void loadTranslations(QApplication *application, const QStringList &prefixes);
