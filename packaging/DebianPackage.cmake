# `cpack -G DEB` in the build folder makes quorvel_<version>_<arch>.deb of what
# `cmake --install` installs, for /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvel Team")
set(CPACK_PACKAGE_CONTACT "Quorvel Team <team@quorvel.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The time stamps: SOURCE_DATE_EPOCH, or else the last commit's.
set(CPACK_QUORVEL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/SourceDate.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvel Team <team@quorvel.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUORVEL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The first line is the short description, the rest the long one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "keeps racehorse passwords in record files
Quorvel keeps racehorse records as files. Each record file is named after the
horse and holds its 36-character password and, in weight mode, the weight it
carries. Records are written in code page 932 with CR LF line ends, so that
files from and for Windows read back exactly.
.
One window with a Japanese user interface creates records, asks before it
replaces one, and browses the drives and folders to show and edit them.")
# The libraries the built program links come from dpkg-shlibdeps; the window's
# Japanese font and Qt's Japanese texts for its dialogs are not linked, so they
# are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
# Not needed to run, but to run as a desktop program should: Qt's Wayland plugin, so that
# the window is a Wayland window on a Wayland desktop and not one of XWayland, and the
# desktop's event sounds for the beep, through its sound server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libcanberra0, libcanberra-pulse")
# The font is Debian's (above), not the program's own copy: everything but that.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")

include(CPack)
