// The program's one decision: install, uninstall or neither, from the installed
// marker and the requested mode.
#include "devstudio/builddirs.h"
#include "devstudio/studiotools.h"
#include "devstudio/toolsmenu.h"
#include "plugininstall.h"
#include "report.h"

#include <QApplication>

namespace {

const char *const markerName = "ACTIVATION";
constexpr DWORD markerBufferSize = 25;

const char *const installedText = "Corvessa Brackwater Tindral options installed";
const char *const notInstalledText = "Corvessa Brackwater Tindral options is not installed";
const char *const uninstalledText = "Corvessa Brackwater Tindral options uninstalled";
const char *const alreadyInstalledText = "Corvessa Brackwater Tindral options is already installed";
const char *const notUninstalledText = "Corvessa Brackwater Tindral options is not uninstalled";
const char *const usageText = "Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall";
// A dry run saves nothing: what it did is what a run would do.
const char *const wouldInstallText = "Corvessa Brackwater Tindral options would be installed";
const char *const wouldUninstallText = "Corvessa Brackwater Tindral options would be uninstalled";

const char *dryRunForm(const char *outcome)
{
    if (outcome == installedText)
        return wouldInstallText;
    return outcome == uninstalledText ? wouldUninstallText : outcome;
}

// The product patterns whose Tools entries an uninstall removes, in this order.
const char *const productPrograms[] = {mainProgram, viewerProgram, optionsProgram};

} // namespace

// The marker counts as present when the product's key opens and ACTIVATION, of
// any type and at most 25 bytes, can be read.
bool installedMarkerPresent()
{
    const RegistryKey optionsKey(OptionsKey);
    unsigned char marker[markerBufferSize];
    DWORD size = markerBufferSize;
    return optionsKey && regQuery(optionsKey, markerName, marker, &size) == ERROR_SUCCESS;
}

namespace {

// Saves the run's changes; a failure is shown, and the run must not claim success.
SaveResult saveRegistry()
{
    const SaveResult result = registrySave();
    if (result != SaveResult::Saved)
        showWarning(QStringLiteral("Error"), QStringLiteral("Cannot save the registry '%1': %2")
                                                 .arg(QString::fromStdString(registryLocation()),
                                                      QString::fromStdString(registryProblem())));
    return result;
}

// An install is whole or nothing: every step runs once, its writes held by the
// run, and when one cannot be done (its box shown) none is saved, so that the
// next install, once the cause is gone, finds no marker and installs.
bool runInstall(ProblemSink &problems, const std::string &product)
{
    const bool toolsAdded = addStudioTools(problems, product);
    const RegistryKey optionsKey(OptionsKey, RegistryKey::Create);
    const BYTE marker = 0;
    regSetBinary(optionsKey, markerName, &marker, 1);
    return installBuildDirs(problems, product, optionsKey) && toolsAdded;
}

bool runUninstall(ProblemSink &problems, const std::string &product)
{
    // As whole as an install: while the product's entries cannot be found, the
    // marker and the search path stay, and the next uninstall finishes the job.
    if (!studioToolsRemovable(problems))
        return false;
    const RegistryKey optionsKey(OptionsKey);
    restoreBuildDirs(problems, product, optionsKey);
    regDeleteValue(optionsKey, markerName);
    for (const char *program : productPrograms)
        removeStudioTool(program, product);
    return true;
}

} // namespace

RunOutcome runIntegration(QApplication *application, QWidget *parent, Mode mode, const ProductDirectory &product, bool dryRun)
{
    BoxSink problems(parent, application);
    startRegistryJournal(dryRun);
    deferBoxes();
    const bool installed = installedMarkerPresent();
    const char *outcome = usageText;
    bool whole = true;
    if (mode == ModeInstall && !installed) {
        whole = runInstall(problems, product.registryForm);
        outcome = whole ? installedText : notInstalledText;
    } else if (mode == ModeInstall) {
        outcome = alreadyInstalledText;
    } else if (mode == ModeUninstall && installed) {
        whole = runUninstall(problems, product.registryForm);
        outcome = whole ? uninstalledText : notUninstalledText;
    } else if (mode == ModeUninstall) {
        outcome = notInstalledText;
    }
    // A run refused on the way, like the usage text, saves nothing.
    const bool saving = whole && mode != ModeNone;
    if (!saving)
        registryDiscard();
    const SaveResult save = saving ? saveRegistry() : SaveResult::Saved;
    const bool saved = save == SaveResult::Saved;
    // The registry is free again: the problems met on the way can wait for the user.
    const bool problemShown = showDeferredBoxes() > 0;
    const QString text = saved ? application->translate("ideweave Message", dryRun ? dryRunForm(outcome) : outcome) : QString();
    // A file that was replaced counts as a change, even when Wine may undo it.
    return {mode != ModeNone, saved, problemShown, save != SaveResult::NotWritten && registryChanged(), text,
            !saved && registryHeld()};
}

RunOutcome PluginInstall::runMode(Mode mode, const ProductDirectory &product, bool dryRun)
{
    RunOutcome outcome = runIntegration(application, parentWidget, mode, product, dryRun);
    if (outcome.saved)
        setText(outcome.text);
    return outcome;
}
