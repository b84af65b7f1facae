#pragma once

#include <QString>

// What the window does when the player reports a play state: timers, the
// play/pause face, the two status labels, the switch timer (only while
// continuous play is on) and the 停止/属性 menu items.
struct StateReaction
{
    enum class Timer { Unchanged, Off, Start };
    enum class Item { Unchanged, Disabled, Enabled };
    enum class Status { Unchanged, Text, NowPlaying };

    Timer bufferingClock = Timer::Unchanged;
    Timer progressClock = Timer::Unchanged;
    Timer streamingClock = Timer::Unchanged;
    bool pauseFace = false;
    Status status = Status::Unchanged;
    QString statusText;
    bool setReception = false;
    QString receptionText;
    Timer switchTimer = Timer::Unchanged;
    Item stopItem = Item::Unchanged;
    Item propertiesItem = Item::Unchanged;
};

// The reaction to a published play state 0..12; other numbers change nothing.
StateReaction stateReaction(int playState);
