// The status window: a message box that shows the outcome of the run, and whose
// own operations do the work (the controller and the build-directory actions).
#pragma once

#include "devstudio/productdir.h"
#include "devstudio/registry.h"
#include "mode.h"

#include <QMessageBox>

class QApplication;

// What a run did: whether the command line asked for anything, whether the
// registry's changes were saved, whether a problem was shown on the way, and
// whether the run left the registry other than it found it (in a dry run:
// would have; a new file put in place counts even when its save reported a
// problem), and the outcome's text, empty when the save failed.
struct RunOutcome {
    bool understood;
    bool saved;
    bool problemShown;
    bool changed;
    QString text;
    bool held = false; // not saved, or saved at risk, because a program holds the registry
};

class PluginInstall : public QMessageBox {
public:
    // Takes the arguments of the classic message box constructor: icon and button
    // codes as numbers (icon 1 is information; button 1 is OK, 0 none).
    PluginInstall(QApplication *application, const QString &caption, const QString &text, int icon, int button0,
                  int button1, int button2, QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags);

    // Installs, uninstalls or does nothing, as the installed marker and the mode
    // decide, and sets the window's text to the outcome unless the save failed.
    // A dry run goes the same way and writes nothing.
    RunOutcome runMode(Mode mode, const ProductDirectory &product, bool dryRun = false);

    QWidget *parentWidget;
    QApplication *application;

};

// The controller without a window, as quiet runs go: problems are shown in
// boxes whose parent is parent, or reported on standard error.
RunOutcome runIntegration(QApplication *application, QWidget *parent, Mode mode, const ProductDirectory &product, bool dryRun);

// Whether the installed marker is there, as the controller tests it; read only.
bool installedMarkerPresent();

// The status window as the program shows it, before its text is set.
PluginInstall *createStatusWindow(QApplication *application);
