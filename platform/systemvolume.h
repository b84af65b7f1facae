#pragma once

// The system's master output level (the default output device), not the
// player's own volume.
//
// Levels are on the mixer scale 0..maxLevel: 0 is silence, maxLevel
// (65535) is the device's normal full volume. The volume slider's arithmetic
// gives values on this scale (0 at its left stop, 33050/33069 at start-up)
// and values up to 79365 at its right stop: anything above maxLevel is
// limited to maxLevel, so the output is never amplified beyond its normal
// full level; negative values count as 0. A caller passes its computed
// values straight through.
//
// Use: open(), then any number of set calls, then close(). Every call runs
// on the calling (UI) thread and returns within about two seconds, also when
// the sound server is missing or stops answering. A set call made without a
// successful open() fails.
class SystemVolume
{
public:
    static constexpr int maxLevel = 65535;

    virtual ~SystemVolume() = default;

    // Connects to the default output; false when there is none (no sound
    // server, no output device, the connection was lost and cannot be made
    // again).
    virtual bool open() = 0;
    // Sets the left and the right channel. On an output with more channels,
    // the left-side ones take left, the right-side ones right, and the others
    // (centre, bass, mono) the larger of the two.
    virtual bool setVolume(int left, int right) = 0;
    virtual bool setMute(bool muted) = 0;
    // Ends the use begun by open(). An implementation may keep its connection
    // for the next open(), so that a slider drag, which opens and closes once
    // per pointer movement, stays smooth.
    virtual void close() = 0;
};
