#pragma once

#include <QObject>

class Dialogs;
class SystemVolume;

// The volume thumb and the mute button: both act on the system's output
// volume, never on the player. The thumb moves at most one pixel per pointer
// movement, between the offsets -48 and 12; each movement sets both channels
// from its position. The volume is never read back: the thumb shows what
// the program last set.
class VolumeControl : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDesignOffset = -13;
    static constexpr int kLeftStop = -48;
    static constexpr int kRightStop = 12;
    static constexpr int kThumbWidth = 70;

    enum class Use { Drag, StartUp };
    struct Levels
    {
        int left;
        int right;
        bool operator==(const Levels &) const = default;
    };
    // The two channel volumes for a thumb offset.
    static Levels volumeLevel(int offset, Use use);

    VolumeControl(SystemVolume &volume, Dialogs &dialogs, QObject *parent = nullptr);

    int thumbOffset() const { return m_offset; }
    bool isDragging() const { return m_dragging; }

public slots:
    // Sets the volume once from the thumb's design position.
    void initVolume();
    // Pointer press, movement and release on the thumb; x is the pointer's
    // position inside the thumb.
    void pressThumb(int x);
    void moveThumb(int x);
    void releaseThumb();
    // Moves the thumb by whole steps (the keyboard, assistive technologies)
    // within its stops and sets the volume as a drag does.
    void stepThumb(int steps);
    // The mute button after its click flipped it.
    void toggleMute(bool muted);

signals:
    // The thumb's left edge inside its box.
    void thumbOffsetChanged(int offset);

private:
    bool open();
    // Opens the system volume, sets both channels, closes it.
    void applyVolume(Levels levels);

    SystemVolume &m_volume;
    Dialogs &m_dialogs;
    int m_offset = kDesignOffset;
    bool m_dragging = false;
    int m_grabX = 0;
    bool m_failureShown = false; // during this drag
};
