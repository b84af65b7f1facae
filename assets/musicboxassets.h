#pragma once

// The skin pictures live in the Qt resource system under /skin, for example
// QPixmap(QStringLiteral(":/skin/play.png")). A program that links the CMake
// target musicbox_assets has them registered before main() runs; no call is
// needed.
//
// initMusicboxAssets() registers them explicitly. It is only useful where the
// library is linked without CMake's usage requirements (which carry the
// resource object into the program); calling it again, or when the resources
// are already registered, does nothing.
void initMusicboxAssets();
