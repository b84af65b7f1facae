#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QString>

// Dialogs that show nothing: messages are recorded, file dialogs are recorded
// and answer with scripted paths (empty, i.e. cancelled, unless set).
class FakeDialogs : public Dialogs
{
public:
    struct Message
    {
        QString title;
        QString text;
        Icon icon = Icon::None;
        bool operator==(const Message &) const = default;
    };
    struct FileRequest
    {
        QString title;
        QString filter;
        QString proposedName; // save dialogs only
        bool operator==(const FileRequest &) const = default;
    };

    void message(const QString &title, const QString &text, Icon icon) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &filter,
                     const QString &proposedName) override;

    // Test helpers. The scripted paths answer every following request.
    void setOpenFileResult(const QString &path) { m_openResult = path; }
    void setSaveFileResult(const QString &path) { m_saveResult = path; }
    QList<Message> messages() const { return m_messages; }
    QList<FileRequest> openRequests() const { return m_openRequests; }
    QList<FileRequest> saveRequests() const { return m_saveRequests; }
    void clear();

private:
    QList<Message> m_messages;
    QList<FileRequest> m_openRequests;
    QList<FileRequest> m_saveRequests;
    QString m_openResult;
    QString m_saveResult;
};
