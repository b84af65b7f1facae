#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

// The notification-area icon. The window owns its tray menu and pops it up
// itself on a right click, so the tray only reports pointer actions.
class Tray : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Tray() override = default;

    // False on desktops without a notification area: the window must then
    // never hide itself there.
    virtual bool isAvailable() const = 0;
    virtual void show(const QIcon &icon, const QString &tip) = 0;
    virtual void remove() = 0;
    virtual bool isShown() const = 0;

signals:
    void doubleClicked();
    void rightClicked(const QPoint &globalPos);
};
