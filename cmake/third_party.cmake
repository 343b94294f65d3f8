# The decoding and time-stretching libraries: Debian's -dev packages for native builds; for the
# Windows build they are compiled from Debian's source packages (scripts/third-party) and found
# under the build folder. Both ways end in the same two targets:
#   vendrel_vorbis      libvorbisfile, libvorbis and libogg
#   vendrel_soundtouch  SoundTouch
add_library(vendrel_vorbis INTERFACE)
add_library(vendrel_soundtouch INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(VENDREL_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
    pkg_check_modules(VENDREL_SOUNDTOUCH_PC REQUIRED IMPORTED_TARGET soundtouch)
    target_link_libraries(vendrel_vorbis INTERFACE PkgConfig::VENDREL_VORBISFILE)
    target_link_libraries(vendrel_soundtouch INTERFACE PkgConfig::VENDREL_SOUNDTOUCH_PC)
    set(VENDREL_THIRD_PARTY_FOUND ON)
else()
    # Not written yet: the Windows build goes without the codecs for now.
    set(VENDREL_THIRD_PARTY_FOUND OFF)
endif()
