#include "faketray.h"

void FakeTray::show(const QIcon &icon, const QString &tip)
{
    m_calls.append(QStringLiteral("show:") + tip);
    m_icon = icon;
    m_tip = tip;
    m_shown = true;
}

void FakeTray::remove()
{
    m_calls.append(QStringLiteral("remove"));
    m_shown = false;
}
