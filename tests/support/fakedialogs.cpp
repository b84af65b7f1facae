#include "fakedialogs.h"

void FakeDialogs::message(const QString &title, const QString &text, Icon icon)
{
    m_messages.append({title, text, icon});
}

QString FakeDialogs::openFile(const QString &title, const QString &filter)
{
    m_openRequests.append({title, filter, QString()});
    return m_openResult;
}

QString FakeDialogs::saveFile(const QString &title, const QString &filter,
                              const QString &proposedName)
{
    m_saveRequests.append({title, filter, proposedName});
    return m_saveResult;
}

void FakeDialogs::clear()
{
    m_messages.clear();
    m_openRequests.clear();
    m_saveRequests.clear();
}
