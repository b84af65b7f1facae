#include "qttray.h"

#include <QCursor>

QtTray::QtTray(QObject *parent)
    : Tray(parent)
    , m_icon(new QSystemTrayIcon(this))
{
    connect(m_icon, &QSystemTrayIcon::activated, this, &QtTray::onActivated);
}

bool QtTray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTray::show(const QIcon &icon, const QString &tip)
{
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
}

void QtTray::remove()
{
    m_icon->hide();
}

bool QtTray::isShown() const
{
    return m_icon->isVisible();
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
