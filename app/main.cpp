// ideweave: hooks the Tindral tools into Visual C++ 6.0 Developer Studio for the
// current user (-install) and takes them out again (-uninstall).
#include "devstudio/productdir.h"
#include "devstudio/registry.h"
#include "i18n/i18nutil.h"
#include "mode.h"
#include "plugininstall.h"
#include "report.h"

#include <QApplication>

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// A program of the GUI subsystem has no console of its own. Quiet runs write to
// the standard handles they were given (a file or a pipe), and where there are
// none, to the console of the program that started them.
void connectStandardStreams()
{
    const auto usable = [](HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; };
    const struct {
        DWORD handleName;
        FILE *stream;
    } streams[] = {{STD_OUTPUT_HANDLE, stdout}, {STD_ERROR_HANDLE, stderr}};
    bool attached = false;
    for (const auto &standard : streams) {
        const HANDLE handle = GetStdHandle(standard.handleName);
        const int descriptor = _fileno(standard.stream);
        if (usable(handle)) {
            // The C library may not have taken over a handle given to a GUI program.
            if (descriptor < 0 || _get_osfhandle(descriptor) != reinterpret_cast<intptr_t>(handle)) {
                const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
                if (opened >= 0 && _dup2(opened, standard.stream == stdout ? 1 : 2) == 0)
                    std::setvbuf(standard.stream, nullptr, _IONBF, 0);
            }
            continue;
        }
        attached = attached || AttachConsole(ATTACH_PARENT_PROCESS);
        if (attached)
            std::freopen("CONOUT$", "w", standard.stream);
    }
}
#endif

// How a run ends, as installers read it: done, a problem shown or the save
// failed, no mode asked for, or refused before anything could change.
enum ExitStatus { ExitDone = 0, ExitProblem = 1, ExitUsage = 2, ExitRefused = -1 };

// The status of a run that reached the controller; a window that is shown ends with the window.
int exitStatus(const RunOutcome &outcome)
{
    if (!outcome.saved)
        return ExitProblem;
    if (!outcome.understood)
        return ExitUsage;
    return outcome.problemShown ? ExitProblem : ExitDone;
}

// In quiet mode no window is shown and no display is needed; the toolkit's own
// messages are kept off standard error, which carries the run's reports.
void prepareQuietMode()
{
#ifdef _WIN32
    connectStandardStreams();
#endif
    setQuietMode(true);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// The registry must be usable before anything is changed in it.
bool registryGate()
{
    if (registryUsable())
        return true;
    showWarning(QStringLiteral("Warning"),
                QStringLiteral("Cannot use the registry '%1': %2")
                    .arg(QString::fromStdString(registryLocation()), QString::fromStdString(registryProblem())));
    return false;
}

// Installing writes product paths, which Windows programs must be able to open
// and the registry must be able to name.
bool productPathGate()
{
    const std::string productDirectory = qgetenv("TINDRALDIR").toStdString();
    std::string registryForm;
    std::string problem = productDirectoryProblem(productDirectory);
    if (problem.empty())
        problem = codePageProblemOfVariable("TINDRALDIR");
    if (problem.empty() && registryFormOfPath(productDirectory, registryForm, problem))
        return true;
    registryRelease(); // no box waits while the registry is held
    showWarning(QStringLiteral("Warning"), QString::fromStdString(problem));
    return false;
}

// Whether the window system that the toolkit will use has a display to show the
// window on; without one the toolkit would abort the process.
bool displayAvailable(int argc, char **argv)
{
#ifdef _WIN32
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#else
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (int index = 1; index + 1 < argc; ++index) {
        if (qstrcmp(argv[index], "-platform") == 0)
            platform = argv[index + 1];
    }
    const bool x11 = !qgetenv("DISPLAY").isEmpty();
    const bool wayland = !qgetenv("WAYLAND_DISPLAY").isEmpty();
    if (platform.isEmpty())
        return x11 || wayland;
    if (platform.startsWith("xcb"))
        return x11;
    if (platform.startsWith("wayland"))
        return wayland;
    return true; // offscreen, vnc and the like need no display
#endif
}

} // namespace

int main(int argc, char **argv)
{
    const bool quiet = quietRequested(argc, argv);
    if (quiet) {
        prepareQuietMode();
    } else if (!displayAvailable(argc, argv)) {
        std::fputs("Warning: Cannot open the status window: no display. Run with -quiet to work without a window.\n",
                   stderr);
        return ExitRefused;
    }
    // The application object and the window live until the process ends.
    static QApplication *application = new QApplication(argc, argv);
    const QString setUpProblem = loadTranslations(application, {QStringLiteral("ideweave_")});
    if (!setUpProblem.isEmpty()) {
        showWarning(QStringLiteral("Warning"), setUpProblem);
        return ExitRefused;
    }
    static PluginInstall *window = createStatusWindow(application);

    const Mode mode = modeFromArguments(argc, argv);
    if ((mode != ModeNone && !registryGate()) || (mode == ModeInstall && !productPathGate()))
        return ExitRefused;
    const RunOutcome outcome = window->runMode(mode);
    if (quiet && outcome.saved) {
        std::printf("%s\n", window->text().toLocal8Bit().constData());
        std::fflush(stdout);
    }
    if (quiet || !outcome.saved)
        return exitStatus(outcome);
    window->show();
    return application->exec();
}
