# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install` installs.

set(KEELSONG_PACKAGE_MAINTAINER "Vantrel" CACHE STRING
    "Maintainer field of the Debian package, as \"Name <e-mail>\"")

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME keelsong)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and control Orvane sound-projector units")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KEELSONG_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the synopsis line; this is the text below it.
set(CPACK_PACKAGE_DESCRIPTION "Keelsong configures and controls an Orvane sound-projector unit (Orvane LF,
HF, HF(R1)) attached over USB-serial: it finds and identifies units, shows
their live state, edits the unit's event table and setup, sends and reads
them, plays and stops, sets the unit's clock, saves and loads \".tlk\"
configuration files, and updates firmware and serial numbers.
.
keelsong-cli does the same from a script, for one unit or a fleet of units
on several ports at once.
.
orvane-sim serves a simulated Orvane unit on a pseudo-terminal, for trying
the program without hardware.")
# The libraries the programs link are found by dpkg-shlibdeps; Qt loads the SVG icon engine
# as a plug-in at run time, which no linker records.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)

include(CPack)
