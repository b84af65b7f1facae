#pragma once

#include <QObject>
#include <QString>

class Registry;

// Continuous and random play. Every change is written to the settings store
// at the moment of the click, so the next run starts with the same options;
// the menu's check marks show what changed() announces. Random play is a
// mode of continuous play: after any click, random on implies continuous on.
class PlayOptions : public QObject
{
    Q_OBJECT
public:
    static inline const QString kKey = QStringLiteral("Software\\Velmp3");
    static inline const QString kContinuousName = QStringLiteral("Lx");
    static inline const QString kRandomName = QStringLiteral("SJ");
    static inline const QString kOn = QStringLiteral("真");
    static inline const QString kOff = QStringLiteral("假");

    explicit PlayOptions(Registry &registry, QObject *parent = nullptr);

    // Each option is on exactly when its stored value is "真". The two values
    // are applied as read, even when they break the rule.
    void readAtStart();

    // The clicks on 开启连播 and 随即播放, with their transition table.
    void toggleContinuousPlay();
    void toggleRandomPlay();

    bool continuousPlay() const { return m_continuous; }
    bool randomPlay() const { return m_random; }

signals:
    void changed(bool continuousPlay, bool randomPlay);

private:
    void write(const QString &name, bool on);

    Registry &m_registry;
    bool m_continuous = false;
    bool m_random = false;
};
