#pragma once

#include <QString>

class QAction;
class Registry;

// Continuous and random play. The live value of each option is the check
// mark of its menu item; every change is written to the settings store at
// the moment of the click, so the next run starts with the same marks.
// Random play is a mode of continuous play: after any click, random on
// implies continuous on.
class PlayOptions
{
public:
    static inline const QString kKey = QStringLiteral("Software\\Velmp3");
    static inline const QString kContinuousName = QStringLiteral("Lx");
    static inline const QString kRandomName = QStringLiteral("SJ");
    static inline const QString kOn = QStringLiteral("真");
    static inline const QString kOff = QStringLiteral("假");

    PlayOptions(Registry &registry, QAction &continuous, QAction &random);

    // Sets each mark exactly when its stored value is "真". The two values
    // are applied as read, even when they break the rule.
    void readAtStart();

    // Click handlers. The menu has already flipped the clicked item's mark
    // when they run; they restore it and apply the transition table.
    void toggleContinuousPlay();
    void toggleRandomPlay();

    bool continuousPlay() const;
    bool randomPlay() const;

private:
    void set(QAction &item, const QString &name, bool on);

    Registry &m_registry;
    QAction &m_continuous;
    QAction &m_random;
};
