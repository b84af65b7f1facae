#pragma once

#include <QString>

// Modal dialogs and message boxes. Every message box has a single OK button.
// They are modal to the main window; the adapter knows which one that is, so
// the features that ask for a dialog need no window of their own.
class Dialogs
{
public:
    // The one filter of the open and save dialogs: music files.
    static inline const QString kMusicFilter =
        QStringLiteral("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;");

    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;
    virtual void message(const QString &title, const QString &text, Icon icon) = 0;
    // Returns the chosen path, or empty text when the user cancelled.
    virtual QString openFile(const QString &title, const QString &filter) = 0;
    virtual QString saveFile(const QString &title, const QString &filter,
                             const QString &proposedName) = 0;
};
