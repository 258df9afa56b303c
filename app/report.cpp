#include "report.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <vector>

namespace {

bool quiet = false;
int reported = 0;

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

// One record a box: "<caption>: <text>", ending in one newline.
void reportOnStandardError(const QString &caption, const QString &text)
{
    QString record = caption + QStringLiteral(": ") + text;
    if (!record.endsWith(QLatin1Char('\n')))
        record += QLatin1Char('\n');
    std::fputs(record.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

void showError(QWidget *parent, QApplication *application, const char *caption, const char *message)
{
    ++reported;
    const QString translatedCaption = application->translate("ideweave Caption", caption);
    const QString translatedMessage = application->translate("ideweave Message", message);
    if (quiet)
        reportOnStandardError(translatedCaption, translatedMessage);
    else
        present({parent, translatedCaption, translatedMessage, QMessageBox::Information});
}

void showWarning(const QString &caption, const QString &text)
{
    ++reported;
    if (quiet)
        reportOnStandardError(caption, text);
    else
        present({nullptr, caption, text, QMessageBox::Warning});
}

void deferBoxes() { deferring = true; }

void showDeferredBoxes()
{
    deferring = false;
    const std::vector<Box> boxes = std::move(deferred);
    deferred.clear();
    for (const Box &box : boxes)
        show(box);
}

void setQuietMode(bool on) { quiet = on; }
int problemsReported() { return reported; }
