#include "qttray.h"

#include <QCursor>

QtTray::QtTray(QObject *parent)
    : Tray(parent)
{
}

// The icon is made when it is first shown: making it asks the desktop for
// its tray (over D-Bus or X), which the window's first frame does not need.
QSystemTrayIcon *QtTray::icon()
{
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this, &QtTray::onActivated);
    }
    return m_icon;
}

bool QtTray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTray::show(const QIcon &icon, const QString &tip)
{
    QSystemTrayIcon *shown = this->icon();
    shown->setIcon(icon);
    shown->setToolTip(tip);
    shown->show();
}

void QtTray::remove()
{
    if (m_icon)
        m_icon->hide();
}

bool QtTray::isShown() const
{
    return m_icon && m_icon->isVisible();
}

void QtTray::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit doubleClicked();
        break;
    case QSystemTrayIcon::Context:
        emit rightClicked(QCursor::pos());
        break;
    default:
        break;
    }
}
