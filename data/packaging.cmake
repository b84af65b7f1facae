# The Debian package: cpack -G DEB in the build folder (scripts/package.sh
# builds, packs and checks it). The libraries the programs link come from
# dpkg-shlibdeps; what they load at run time is named here: libcurl (opened
# at run time, so that start-up does not wait for its TLS stack), GStreamer's
# playbin with its HTTP source and its MP3, WMA and MIDI decoders, the sound
# server's sink, the MIDI sound font, the window system's Qt plugin and a
# font for the Chinese texts. make-demo-library encodes WMA with gst-launch.
set(CPACK_PACKAGE_NAME "musicbox")
set(CPACK_PACKAGE_VENDOR "the 沐弦音乐盒 authors")
set(CPACK_PACKAGE_CONTACT "the 沐弦音乐盒 authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "沐弦音乐盒: a skinned music box for a catalogue server")
set(CPACK_PACKAGE_DESCRIPTION
    "Searches a catalogue server by song title or singer, browses its charts,\n"
    "streams and downloads songs, and plays local MP3, WMA, WAV and MIDI files.\n"
    "Comes with catalogue-server, which serves a folder of music files, and\n"
    "make-demo-library, which writes a demo library of synthesised songs.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libcurl4 | libcurl3-gnutls, qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-pulseaudio, gstreamer1.0-tools, fluid-soundfont-gm, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, gstreamer1.0-plugins-ugly")

include(CPack)
