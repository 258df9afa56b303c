#include "plugininstall.h"

#include "report.h"

#include <QApplication>
#include <QEvent>

namespace {

QMessageBox::StandardButtons buttonFromCode(int code)
{
    // Classic button codes; the higher bits marked the default and escape buttons.
    switch (code & 0xff) {
    case 1: return QMessageBox::Ok;
    case 2: return QMessageBox::Cancel;
    case 3: return QMessageBox::Yes;
    case 4: return QMessageBox::No;
    case 5: return QMessageBox::Abort;
    case 6: return QMessageBox::Retry;
    case 7: return QMessageBox::Ignore;
    case 8: return QMessageBox::YesToAll;
    case 9: return QMessageBox::NoToAll;
    default: return QMessageBox::NoButton;
    }
}

QMessageBox::Icon iconFromCode(int code)
{
    return code >= QMessageBox::NoIcon && code <= QMessageBox::Question ? QMessageBox::Icon(code) : QMessageBox::NoIcon;
}

// A message box fixes its size to fit its text each time it is shown or its text
// changes, which would undo a minimum size; this puts the minimum back.
class MinimumSizeGuard : public QObject {
public:
    MinimumSizeGuard(QWidget *widget, QSize minimum) : QObject(widget), m_minimum(minimum)
    {
        widget->setMinimumSize(minimum);
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Resize &&
            (widget->width() < m_minimum.width() || widget->height() < m_minimum.height()))
            widget->setFixedSize(widget->size().expandedTo(m_minimum));
        return false;
    }

private:
    QSize m_minimum;
};

} // namespace

PluginInstall::PluginInstall(QApplication *application, const QString &caption, const QString &text, int icon,
                             int button0, int button1, int button2, QWidget *parent, const char *name, bool modal,
                             Qt::WindowFlags flags)
    : QMessageBox(iconFromCode(icon), caption, text,
                  buttonFromCode(button0) | buttonFromCode(button1) | buttonFromCode(button2), parent, flags),
      parentWidget(parent), application(application)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setModal(modal);
}


PluginInstall *createStatusWindow(QApplication *application)
{
    // Qt::MSWindowsFixedSizeDialogHint with Qt::Dialog is the message box's own border style.
    auto *window = new PluginInstall(application,
                                     application->translate("ideweave Caption", "Tindral for VisualC++ 6.0 Installation"),
                                     QStringLiteral("Text"), QMessageBox::Information, 1, 0, 0, nullptr, nullptr, true,
                                     Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    new MinimumSizeGuard(window, QSize(300, 100));
    return window;
}
