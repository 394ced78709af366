# The Debian packages, one for each install component:
#   libsonarchive1      the shared library and its template database (lib)
#   libsonarchive-dev   headers, the .so link and the CMake package (dev)
#   sonarchive          the command-line tool, its manual page and completion (cli)
#   tracklift           the desktop program with its launcher, icons, guide and manual page (app)
# `cpack -G DEB` in a build folder configured with this file (scripts/package does it all).

set(CPACK_PACKAGE_NAME sonarchive)
set(CPACK_PACKAGE_VENDOR "The Sonarchive developers")
set(CPACK_PACKAGE_CONTACT "The Sonarchive developers <maintainers@tracklift.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tracklift.example.org/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each package's description: its synopsis on the first line, then paragraphs.
# Dependencies on system libraries from the binaries themselves; our own library,
# in no installed package yet, is found in the build folder and named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(library_package "libsonarchive${PROJECT_VERSION_MAJOR}")
set(same_library "${library_package} (= ${PROJECT_VERSION})")

set(CPACK_COMPONENTS_ALL lib dev)
set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${library_package})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# The converter tells what media files hold when tracks are added.
set(CPACK_DEBIAN_LIB_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_LIB_DESCRIPTION "library to read and edit the track database of an iPod
Sonarchive reads the track database of an iPod mounted as a disk into
records, hands out per-track summaries, adds, changes and deletes tracks,
and resets or rebuilds the database. It writes the database whole beside
the old one and renames it over it, so an interrupted write never leaves
the device without its database.

This package holds the shared library and the empty template database.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libsonarchive-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${same_library}")
set(CPACK_DEBIAN_DEV_DESCRIPTION "library to read and edit the track database of an iPod (development files)
Sonarchive reads and edits the track database of an iPod mounted as a disk.

This package holds the C++ headers, the link to the shared library and the
CMake package: find_package(Sonarchive) and link Sonarchive::sonarchive.")

if(SONARCHIVE_BUILD_CLI)
  list(APPEND CPACK_COMPONENTS_ALL cli)
  set(CPACK_DEBIAN_CLI_PACKAGE_NAME sonarchive)
  set(CPACK_DEBIAN_CLI_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "${same_library}, ffmpeg")
  # detect --mount and eject ask the desktop's disk service; without it the
  # tool finds mounted iPods itself. (libsdbus-c++1 comes from shlibdeps.)
  set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "udisks2")
  set(CPACK_DEBIAN_CLI_DESCRIPTION "command-line tool for the track database of an iPod
sonarchive lists the tracks and playlists of an iPod mounted as a disk,
copies them to a folder named after their tags, adds media files, changes
and deletes tracks, and resets or rebuilds the device's database.")
endif()

if(SONARCHIVE_BUILD_APP)
  list(APPEND CPACK_COMPONENTS_ALL app)
  set(CPACK_DEBIAN_APP_PACKAGE_NAME tracklift)
  set(CPACK_DEBIAN_APP_PACKAGE_SECTION sound)
  # Qt's platform plugins and the playback plugins are loaded, not linked.
  set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "${same_library}, ffmpeg, qt6-qpa-plugins")
  # The disk service mounts, ejects and reports plugged iPods.
  set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-good, gstreamer1.0-libav, xdg-utils, udisks2")
  set(CPACK_DEBIAN_APP_DESCRIPTION "copy the tracks of an iPod to this computer
Tracklift lists the tracks of an iPod mounted as a disk and copies the
chosen ones to a folder of this computer, each file named after its title.
It filters and searches the list, plays a track before copying it and
shows what the device's database holds about it.")
endif()

include(CPack)
