#pragma once

#include <QImage>
#include <QPixmap>

#include <thread>

// The skin's pictures, read from the resources under :/skin.
namespace skin {

// A picture at the screens' density: on a high-density screen the one
// painted at twice the resolution ("play@2x.png"), marked so that it draws at
// the size of the 1x picture in window units. Null when there is none.
QPixmap picture(const char *name);

// The 1x picture as an image, for what works in window units (the mask).
QImage image(const char *name);

// Decodes every 1x picture on a thread of its own from its construction, so
// that the window finds them decoded; picture() and image() wait for that
// thread where they need it. The thread must have ended (finish()) before
// the QApplication is destroyed. At most one lives at a time; without one,
// pictures are decoded when asked for.
class Preload
{
public:
    Preload();
    ~Preload();
    // Waits for the decoding thread; the destructor does too.
    void finish();
    Preload(const Preload &) = delete;
    Preload &operator=(const Preload &) = delete;

private:
    std::thread m_thread;
};

} // namespace skin
