// How a run tells the user what happened: in message boxes, or, in quiet mode,
// as lines on standard error and the status text on standard output.
#pragma once

#include "devstudio/problems.h"

#include <QString>
#include <QStringList>

class QApplication;
class QWidget;

// The one error box of the program: caption and message are source texts,
// translated in the contexts "ideweave Caption" and "ideweave Message".
void showError(QWidget *parent, QApplication *application, const char *caption, const char *message);

// A box whose texts need no translation (the program's environment is wrong);
// in quiet runs, what to do about the problem follows the text.
void showWarning(const QString &caption, const QString &text);
void showWarning(const QString &caption, const QString &text, Problem problem);

// The integration actions' problems, shown with showError: parent's boxes.
class BoxSink : public ProblemSink {
public:
    BoxSink(QWidget *parent, QApplication *application) : m_parent(parent), m_application(application) {}
    void report(Problem problem) override;

private:
    QWidget *m_parent;
    QApplication *m_application;
};

// While the registry is held for the run, no box may wait for the user: boxes
// are kept from deferBoxes() on and shown, in order, by showDeferredBoxes(),
// which tells how many problems the run reported, in boxes or quietly.
void deferBoxes();
int showDeferredBoxes();

// A line "ideweave: <text>" on standard error that shows no box and is no problem.
void reportNote(const QString &text);

void setQuietMode(bool quiet);
// Every box shown (or, quietly, reported) so far, as "<caption>: <text>", and every note.
const QStringList &reportedMessages();
