# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install` installs.

# Debian wants a name and an address. The default address lies in the reserved ".invalid" domain:
# it is well-formed but reaches nobody, so whoever distributes the package sets the real one.
set(KEELSONG_PACKAGE_MAINTAINER "Vantrel <maintainer@keelsong.invalid>" CACHE STRING
    "Maintainer field of the Debian package, as \"Name <e-mail>\"")
# A name alone (the default of earlier releases, still in older build folders) gets the same
# placeholder address rather than a package Debian cannot read.
set(KEELSONG_MAINTAINER_FIELD "${KEELSONG_PACKAGE_MAINTAINER}")
if(NOT KEELSONG_MAINTAINER_FIELD MATCHES "^[^<>]+ <[^<>@ ]+@[^<> ]+>$")
  string(REGEX REPLACE " *<.*$" "" name "${KEELSONG_MAINTAINER_FIELD}")
  set(KEELSONG_MAINTAINER_FIELD "${name} <maintainer@keelsong.invalid>")
  message(STATUS "KEELSONG_PACKAGE_MAINTAINER \"${KEELSONG_PACKAGE_MAINTAINER}\" is not "
                 "\"Name <e-mail>\": the package names \"${KEELSONG_MAINTAINER_FIELD}\"")
endif()
# The package's own revision of the release: raised when only the packaging changes.
set(KEELSONG_DEBIAN_REVISION 1)
set(KEELSONG_DEBIAN_VERSION ${PROJECT_VERSION}-${KEELSONG_DEBIAN_REVISION})

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME keelsong)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and control Orvane sound-projector units")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KEELSONG_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KEELSONG_MAINTAINER_FIELD}")
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

# Every Debian package carries its licence and its changelog in /usr/share/doc/keelsong/. The
# changelog's entry is dated with the release, in the form Debian reads.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/keelsong)
install(FILES data/copyright DESTINATION ${doc_dir})
execute_process(COMMAND date -u -R -d "${KEELSONG_RELEASE_DATE}"
                OUTPUT_VARIABLE KEELSONG_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
set(changelog ${PROJECT_BINARY_DIR}/data/changelog.Debian)
configure_file(data/changelog.Debian.in ${changelog} @ONLY)
execute_process(COMMAND gzip -9nf ${changelog} COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${changelog}.gz DESTINATION ${doc_dir})

include(CPack)
