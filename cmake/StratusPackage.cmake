# Debian packages, made by CPack's DEB generator (scripts/package.sh builds
# them for /usr; in another build folder, configure with
# -DCMAKE_INSTALL_PREFIX=/usr and run `cpack -G DEB`):
#   libstratus0      the shared library (libstratus.so.0) and the US data
#   libstratus-dev   the headers, the CMake package, stratus.pc and the
#                    libstratus.so link
#   stratus          the host, the sample server and its pages, the gateway,
#                    their man pages, the bash completion and the gateway's
#                    systemd user unit
#   python3-stratus  the Python module and its stubs, when it is built
# Install rules that name no component (those of the programs and of the
# Python module) belong to the stratus package; packaging/deb/stage.cmake
# moves the Python module to its own package, and adds what Debian asks of
# every package (copyright, changelog, compressed man pages) and the lintian
# overrides.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stratus)
set(CPACK_PACKAGE_VENDOR "stratus")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description below starts with its own summary line. CPack
# puts CPACK_PACKAGE_DESCRIPTION_SUMMARY before it unless that is CPack's
# default, so the default it is.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGE_CONTACT "stratus maintainers <maintainers@stratus.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Debian's packages carry no symbol tables (lintian: unstripped-binary).
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL libstratus0 libstratus-dev Unspecified)
if(TARGET stratus_python)
  list(APPEND CPACK_COMPONENTS_ALL python3-stratus)
endif()
set(CPACK_STRATUS_DEB_DIR ${PROJECT_SOURCE_DIR}/packaging/deb)
set(CPACK_PRE_BUILD_SCRIPTS ${CPACK_STRATUS_DEB_DIR}/stage.cmake)
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
  "weather data library: places, observation reports, forecast products
libstratus reads US weather data for a host application: a location
database of states, counties and cities (the US data set is included),
the current conditions of a station decoded from its coded surface
observation report, and seven text products (forecast, warnings, watches,
statements, public messages, discussion, summary) cut down to a place's
section, with unit conversions.")
# The shlibs file, which tells dpkg-shlibdeps of other packages which
# package has libstratus.so.0. Written here rather than by CPack
# (CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS), which would take the Python module
# for a library too and warn that it has no soname.
get_target_property(stratus_soversion stratus SOVERSION)
file(WRITE ${PROJECT_BINARY_DIR}/deb/shlibs
  "libstratus ${stratus_soversion} libstratus0 (= ${PROJECT_VERSION})\n")
# The loader's cache is rebuilt by the ldconfig trigger, once a dpkg run.
# CPack would write a postinst and a postrm calling ldconfig for a package
# with a shared library unless the package has its own: the two given here
# do nothing.
set(CPACK_DEBIAN_LIBSTRATUS0_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/deb/shlibs ${CPACK_STRATUS_DEB_DIR}/triggers
  ${CPACK_STRATUS_DEB_DIR}/postinst ${CPACK_STRATUS_DEB_DIR}/postrm)

set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_NAME libstratus-dev)
set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBSTRATUS-DEV_PACKAGE_DEPENDS
  "libstratus0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_LIBSTRATUS-DEV_DESCRIPTION
  "weather data library: development files
The headers of libstratus (stratus/stratus.h), its CMake package
(find_package(stratus)) and pkg-config file (stratus.pc), for building a
host application of the library.")

set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME stratus)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SECTION utils)
# The host carries the library's code and the C++ runtime, but reads the US
# data that libstratus0 installs (/usr/share/stratus/us), and it opens
# libcurl.so.4 as the library does: libstratus0 of the same version brings
# libcurl4 at the version that code needs. The gateway links libcurl, so
# dpkg-shlibdeps adds libcurl4 itself; written here too, it was listed
# twice.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS "libstratus0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION
  "weather on the command line, a sample weather server and a live gateway
stratus shows the current conditions, forecasts and bulletins of US
places, and decodes coded surface observation reports. The sample weather
server serves bundled pages for a few places, so that it works offline;
the gateway serves the same pages made from the US weather service's
public API.")

if(TARGET stratus_python)
  # The module is built for one Python version (its file name carries the
  # ABI tag), so its package takes that version of python3.
  execute_process(COMMAND ${Python3_EXECUTABLE} -c
      "import sys; print('%d.%d' % sys.version_info[:2]); print('%d.%d' % (sys.version_info[0], sys.version_info[1] + 1))"
    OUTPUT_VARIABLE stratus_py_versions OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" stratus_py_versions "${stratus_py_versions}")
  list(GET stratus_py_versions 0 stratus_py)
  list(GET stratus_py_versions 1 stratus_py_next)
  # Where the module goes, relative to the prefix: stage.cmake moves it.
  set(CPACK_STRATUS_PYTHON_DIR ${STRATUS_PYTHON_INSTALL_DIR})
  set(CPACK_DEBIAN_PYTHON3-STRATUS_PACKAGE_NAME python3-stratus)
  set(CPACK_DEBIAN_PYTHON3-STRATUS_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON3-STRATUS_PACKAGE_DEPENDS
    "python3 (>= ${stratus_py}~), python3 (<< ${stratus_py_next}), python3-numpy, libstratus0 (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_PYTHON3-STRATUS_PACKAGE_SUGGESTS "python3-pandas")
  set(CPACK_DEBIAN_PYTHON3-STRATUS_DESCRIPTION
    "weather data library: Python 3 module
The module stratus decodes coded surface observation reports one at a
time or many into NumPy arrays, lists and finds US places, and reads the
current conditions and text products of a place, through libstratus.")
endif()

include(CPack)
