#include "report.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

bool quiet = false;
bool reported = false;

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
    reported = true;
    const QString translatedCaption = application->translate("ideweave Caption", caption);
    const QString translatedMessage = application->translate("ideweave Message", message);
    if (quiet)
        reportOnStandardError(translatedCaption, translatedMessage);
    else
        QMessageBox::information(parent, translatedCaption, translatedMessage, QMessageBox::Ok);
}

void showWarning(const QString &caption, const QString &text)
{
    reported = true;
    if (quiet)
        reportOnStandardError(caption, text);
    else
        QMessageBox::warning(nullptr, caption, text, QMessageBox::Ok);
}

void setQuietMode(bool on) { quiet = on; }
bool quietMode() { return quiet; }
bool problemReported() { return reported; }
