#pragma once

#include "platform/tray.h"

#include <QSystemTrayIcon>

// Tray on QSystemTrayIcon. A double click on the icon emits doubleClicked(),
// a right click (the context request) emits rightClicked() with the pointer's
// global position; other activations are ignored. No context menu is set on
// the icon: the window pops up its own.
class QtTray : public Tray
{
    Q_OBJECT
public:
    explicit QtTray(QObject *parent = nullptr);

    bool isAvailable() const override;
    void show(const QIcon &icon, const QString &tip) override;
    void remove() override;
    bool isShown() const override;

private:
    QSystemTrayIcon *icon();
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon *m_icon = nullptr; // child of this object, made on the first show
};
