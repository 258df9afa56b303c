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

// One record a box: "<caption>: <text>", ending in one newline, and for the
// program's own problems a line "ideweave: <cause and remedy>".
void reportOnStandardError(const QString &caption, const QString &text, const char *remedy)
{
    QString record = caption + QStringLiteral(": ") + text;
    if (!record.endsWith(QLatin1Char('\n')))
        record += QLatin1Char('\n');
    if (remedy)
        record += QStringLiteral("ideweave: ") + QLatin1String(remedy) + QLatin1Char('\n');
    std::fputs(record.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void showTranslated(QWidget *parent, QApplication *application, const char *caption, const char *message,
                    const char *remedy)
{
    ++reported;
    const QString translatedCaption = application->translate("ideweave Caption", caption);
    const QString translatedMessage = application->translate("ideweave Message", message);
    messages << translatedCaption + QStringLiteral(": ") + translatedMessage;
    if (quiet)
        reportOnStandardError(translatedCaption, translatedMessage, remedy);
    else
        present({parent, translatedCaption, translatedMessage, QMessageBox::Information});
}

void showUntranslated(const QString &caption, const QString &text, const char *remedy)
{
    ++reported;
    messages << caption + QStringLiteral(": ") + text;
    if (quiet)
        reportOnStandardError(caption, text, remedy);
    else
        present({nullptr, caption, text, QMessageBox::Warning});
}

} // namespace

void showError(QWidget *parent, QApplication *application, const char *caption, const char *message)
{
    showTranslated(parent, application, caption, message, nullptr);
}

void BoxSink::report(Problem problem)
{
    const ProblemText &text = problemText(problem);
    showTranslated(m_parent, m_application, text.caption, text.message, text.remedy);
}

void showWarning(const QString &caption, const QString &text) { showUntranslated(caption, text, nullptr); }

void showWarning(const QString &caption, const QString &text, Problem problem)
{
    showUntranslated(caption, text, problemText(problem).remedy);
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
