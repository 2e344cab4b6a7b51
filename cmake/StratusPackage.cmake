# Debian packages, made by CPack's DEB generator: in a build folder
# configured with -DCMAKE_INSTALL_PREFIX=/usr, `cpack -G DEB` writes
#   libstratus0     the shared library (libstratus.so.0) and the US data
#   libstratus-dev  the headers, the CMake package, stratus.pc and the
#                   libstratus.so link
#   stratus         the host, the sample server and its pages, the gateway,
#                   their man pages, the bash completion and the gateway's
#                   systemd user unit
# Install rules that name no component (those of the programs) belong to
# the stratus package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stratus)
set(CPACK_PACKAGE_VENDOR "stratus")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "stratus maintainers <maintainers@stratus.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL libstratus0 libstratus-dev Unspecified)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies on linked shared libraries (libstdc++, ...) are read from
# the binaries by dpkg-shlibdeps. libcurl is not among them for the library
# and the host: the page reader opens libcurl.so.4 with dlopen on its first
# fetch, so that dependency is written out below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs' own library is found in the build tree; their dependency on
# its package is written out below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)

set(CPACK_DEBIAN_LIBSTRATUS0_PACKAGE_NAME libstratus0)
set(CPACK_DEBIAN_LIBSTRATUS0_PACKAGE_SECTION libs)
# The reader calls curl_multi_poll (7.66) and sets CURLOPT_PROTOCOLS_STR
# (7.85) on the libcurl.so.4 it opens at run time.
set(STRATUS_DEB_CURL "libcurl4 (>= 7.85.0)")
set(CPACK_DEBIAN_LIBSTRATUS0_PACKAGE_DEPENDS "${STRATUS_DEB_CURL}")
set(CPACK_DEBIAN_LIBSTRATUS0_DESCRIPTION
  "weather data library: location database, observation decoder, product reader")
# A shlibs file and the ldconfig trigger for the package with the shared
# library (libstratus.so.0).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_NAME libstratus-dev)
set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_DEPENDS
  "libstratus0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_LIBSTRATUS-DEV_DESCRIPTION
  "weather data library: headers, CMake package and pkg-config file")

set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME stratus)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SECTION utils)
# The host carries the library's code and the C++ runtime, but reads the US
# data that libstratus0 installs (/usr/share/stratus/us) and opens libcurl
# like the library does; the sample server and the gateway link what
# dpkg-shlibdeps finds.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS
  "libstratus0 (= ${PROJECT_VERSION}), ${STRATUS_DEB_CURL}")
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION
  "weather on the command line, a sample weather server and a gateway to live data")

include(CPack)
