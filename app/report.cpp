#include "report.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool quiet = false;
int reported = 0; // problems reported since deferBoxes()
QStringList messages;

struct Box {
    QWidget *parent;
    QString caption;
    QString text;
    QMessageBox::Icon icon;
};
bool deferring = false;
std::vector<Box> deferred;

void show(const Box &box)
{
    if (box.icon == QMessageBox::Warning)
        QMessageBox::warning(box.parent, box.caption, box.text, QMessageBox::Ok);
    else
        QMessageBox::information(box.parent, box.caption, box.text, QMessageBox::Ok);
}

// Shows the box now, or keeps it for later while the registry is held.
void present(const Box &box)
{
    if (deferring)
        deferred.push_back(box);
    else
        show(box);
}

// What each of the program's own messages means and what to do about it, by
// the start of its untranslated text, for runs that no one watches.
const struct {
    const char *message;
    const char *remedy;
} remedies[] = {
    {"Corvessa Brackwater Tindral Error #1", "Developer Studio has stored no Tools menu for this user: start Developer "
                                             "Studio once, open and close the Tools menu, then run again"},
    {"Corvessa Brackwater Tindral Error #2", "the Tools menu's count is missing or not a number: let Developer Studio "
                                             "write its menu again (add and remove a tool in Tools, Customize), then run again"},
    {"TOO MANY TOOLS INSTALLED", "fewer than two of the Tools menu's 16 places are free: remove two tools in "
                                 "Developer Studio, then install again"},
    {"Corvessa Brackwater Tindral Error #4", "the product's program paths would be longer than 254 characters: "
                                             "install the product in a shorter directory"},
    {"Unable to open key for Visual", "Developer Studio has stored no search path for this user: open Tools, "
                                      "Options, Directories in Developer Studio once, then install again"},
    {"Unable to read Visual installation", "Developer Studio's search path is longer than 1023 characters: shorten "
                                           "it in Tools, Options, Directories, then install again"},
    {"Failed to modify Visual registry", "the search path with the product's directories would not fit 1023 "
                                         "characters: shorten it in Tools, Options, Directories, then run again"},
    {"Failed to modify Razazadu registry", "the old search path could not be kept under the product's key, so an "
                                           "uninstall cannot put it back: take the product's directories out of "
                                           "Tools, Options, Directories by hand when you uninstall"},
    {"Unable to open the restore key", "the search path that the install kept is gone: take the product's "
                                       "directories out of Tools, Options, Directories by hand"},
    {"Unable to open key for MS compiler", "Developer Studio's search path is gone: open Tools, Options, "
                                           "Directories in Developer Studio once to make it again"},
    {"Restore key creation failed", "the old search path could not be written back: take the product's "
                                    "directories out of Tools, Options, Directories by hand"},
    {"Fatal Error: please setup TINDRALDIR", "set TINDRALDIR to the product's installation "
                                             "directory, then run again"},
    {"Fatal Error: directory doesn't exist", "TINDRALDIR names no installed product (its lib/locale is missing): "
                                             "name the product's installation directory"},
};

// One record a box: "<caption>: <text>", ending in one newline, and for the
// program's own messages a line "ideweave: <cause and remedy>".
void reportOnStandardError(const QString &caption, const QString &text, const char *sourceText)
{
    QString record = caption + QStringLiteral(": ") + text;
    if (!record.endsWith(QLatin1Char('\n')))
        record += QLatin1Char('\n');
    for (const auto &known : remedies)
        if (std::strncmp(sourceText, known.message, std::strlen(known.message)) == 0)
            record += QStringLiteral("ideweave: ") + QLatin1String(known.remedy) + QLatin1Char('\n');
    std::fputs(record.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

void showError(QWidget *parent, QApplication *application, const char *caption, const char *message)
{
    ++reported;
    const QString translatedCaption = application->translate("ideweave Caption", caption);
    const QString translatedMessage = application->translate("ideweave Message", message);
    messages << translatedCaption + QStringLiteral(": ") + translatedMessage;
    if (quiet)
        reportOnStandardError(translatedCaption, translatedMessage, message);
    else
        present({parent, translatedCaption, translatedMessage, QMessageBox::Information});
}

void showWarning(const QString &caption, const QString &text)
{
    ++reported;
    messages << caption + QStringLiteral(": ") + text;
    if (quiet)
        reportOnStandardError(caption, text, text.toUtf8().constData());
    else
        present({nullptr, caption, text, QMessageBox::Warning});
}

void deferBoxes()
{
    deferring = true;
    reported = 0;
}

int showDeferredBoxes()
{
    deferring = false;
    const std::vector<Box> boxes = std::move(deferred);
    deferred.clear();
    for (const Box &box : boxes)
        show(box);
    return reported;
}

void reportNote(const QString &text)
{
    messages << text;
    std::fprintf(stderr, "ideweave: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void setQuietMode(bool on) { quiet = on; }
const QStringList &reportedMessages() { return messages; }
