#include "plugininstall.h"

#include "report.h"

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

void PluginInstall::reportError(const char *message) { showError(parentWidget, application, "Error", message); }
