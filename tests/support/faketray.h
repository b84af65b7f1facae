#pragma once

#include "platform/tray.h"

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QStringList>

// Tray that shows nothing. Records show and remove calls ("show:<tip>",
// "remove") in order; available unless told otherwise.
class FakeTray : public Tray
{
    Q_OBJECT
public:
    using Tray::Tray;

    bool isAvailable() const override { return m_available; }
    void show(const QIcon &icon, const QString &tip) override;
    void remove() override;
    bool isShown() const override { return m_shown; }

    // Test helpers.
    void setAvailable(bool available) { m_available = available; }
    QStringList calls() const { return m_calls; }
    QString tip() const { return m_tip; }
    QIcon icon() const { return m_icon; }
    void simulateDoubleClick() { emit doubleClicked(); }
    void simulateRightClick(const QPoint &globalPos) { emit rightClicked(globalPos); }

private:
    bool m_available = true;
    bool m_shown = false;
    QString m_tip;
    QIcon m_icon;
    QStringList m_calls;
};
