# The decoding and time-stretching libraries: Debian's -dev packages for native builds; for the
# Windows build they are compiled from Debian's source packages (scripts/third-party) and found
# under the build folder. All ways end in the same two targets:
#   vendrel_vorbis      libvorbisfile, libvorbis and libogg
#   vendrel_soundtouch  SoundTouch
# A fuzzing build (VENDREL_FUZZ) takes libogg and libvorbis from Debian's source packages too,
# built with the fuzzer's coverage and without Ogg page checksums, and SoundTouch from Debian.
add_library(vendrel_vorbis INTERFACE)
add_library(vendrel_soundtouch INTERFACE)

# Runs scripts/third-party for a flavour (once: later configures find its stamp and go straight
# on) and sets <flavour>_prefix to where it installed the libraries.
function(vendrel_build_third_party flavour)
    set(dir ${PROJECT_SOURCE_DIR}/build/third-party/${flavour})
    if(NOT EXISTS ${dir}/done)
        message(STATUS "Building third-party libraries from Debian sources "
                       "(scripts/third-party ${flavour}); this takes a few minutes once")
        execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/third-party ${flavour}
                        RESULT_VARIABLE result
                        OUTPUT_VARIABLE output
                        ERROR_VARIABLE output)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "scripts/third-party ${flavour} failed (${result}):\n${output}")
        endif()
    endif()
    set(${flavour}_prefix ${dir}/prefix PARENT_SCOPE)
endfunction()

# Static libraries: each before the ones it uses.
function(vendrel_use_built_vorbis prefix)
    target_link_libraries(vendrel_vorbis INTERFACE ${prefix}/lib/libvorbisfile.a
                          ${prefix}/lib/libvorbis.a ${prefix}/lib/libogg.a)
    target_include_directories(vendrel_vorbis SYSTEM INTERFACE ${prefix}/include)
endfunction()

if(CMAKE_CROSSCOMPILING)
    vendrel_build_third_party(mingw)
    vendrel_use_built_vorbis(${mingw_prefix})
    # Included as <SoundTouch.h>, the way Debian's soundtouch.pc has it.
    target_link_libraries(vendrel_soundtouch INTERFACE ${mingw_prefix}/lib/libSoundTouch.a)
    target_include_directories(vendrel_soundtouch SYSTEM INTERFACE
                               ${mingw_prefix}/include ${mingw_prefix}/include/soundtouch)
else()
    find_package(PkgConfig REQUIRED)
    if(VENDREL_FUZZ)
        vendrel_build_third_party(fuzz)
        vendrel_use_built_vorbis(${fuzz_prefix})
    else()
        pkg_check_modules(VENDREL_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
        target_link_libraries(vendrel_vorbis INTERFACE PkgConfig::VENDREL_VORBISFILE)
    endif()
    pkg_check_modules(VENDREL_SOUNDTOUCH_PC REQUIRED IMPORTED_TARGET soundtouch)
    target_link_libraries(vendrel_soundtouch INTERFACE PkgConfig::VENDREL_SOUNDTOUCH_PC)
endif()
set(VENDREL_THIRD_PARTY_FOUND ON)
