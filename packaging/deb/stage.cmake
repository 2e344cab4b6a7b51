# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) once every component is installed
# in its staging folder, ${CPACK_TEMPORARY_DIRECTORY}/<component>, and
# before the Debian packages are made from them. It gives the packages what
# Debian's policy asks of every package and an install does not have:
#   - the Python module moved to python3-stratus: its install rule names no
#     component, so it is staged with the programs (Unspecified);
#   - man pages compressed (gzip -9n), no .comment section in programs;
#   - /usr/share/doc/<package>/copyright and changelog.gz;
#   - the package's lintian overrides, each with its reason.
cmake_policy(VERSION 3.19)

set(top "${CPACK_TEMPORARY_DIRECTORY}")
set(prefix "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(here "${CPACK_STRATUS_DEB_DIR}")

if("python3-stratus" IN_LIST CPACK_COMPONENTS_ALL)
  set(from "${top}/Unspecified${prefix}/${CPACK_STRATUS_PYTHON_DIR}")
  set(to "${top}/python3-stratus${prefix}/${CPACK_STRATUS_PYTHON_DIR}")
  if(IS_DIRECTORY "${from}")
    get_filename_component(parent "${to}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(RENAME "${from}" "${to}")
    # The folders it leaves empty (lib/python3) go too.
    get_filename_component(dir "${from}" DIRECTORY)
    file(GLOB left "${dir}/*")
    while(NOT left AND NOT dir STREQUAL "${top}/Unspecified${prefix}")
      file(REMOVE_RECURSE "${dir}")
      get_filename_component(dir "${dir}" DIRECTORY)
      file(GLOB left "${dir}/*")
    endwhile()
  endif()
  if(NOT IS_DIRECTORY "${to}")
    message(FATAL_ERROR "stage.cmake: no Python module in ${from}")
  endif()
endif()

# The changelog's date: SOURCE_DATE_EPOCH when set, for a reproducible
# package.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER "${component}" upper)
  set(package "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
  set(root "${top}/${component}")
  set(doc "${root}${prefix}/share/doc/${package}")
  file(MAKE_DIRECTORY "${doc}")
  file(COPY "${here}/copyright" DESTINATION "${doc}")
  file(WRITE "${doc}/changelog"
    "stratus (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
    "  * Built from the stratus source tree by scripts/package.sh.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")

  # The compiler's version notes (.comment) go the way dh_strip takes
  # them; CPack's strip keeps them.
  file(GLOB_RECURSE files "${root}/*")
  foreach(f IN LISTS files)
    if(IS_SYMLINK "${f}")
      continue()
    endif()
    file(READ "${f}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      execute_process(COMMAND objcopy --remove-section=.comment "${f}"
        RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "stage.cmake: objcopy ${f} failed")
      endif()
    endif()
  endforeach()

  file(GLOB_RECURSE pages "${root}${prefix}/share/man/*")
  list(FILTER pages EXCLUDE REGEX "\\.gz$")
  list(APPEND pages "${doc}/changelog")
  foreach(f IN LISTS pages)
    execute_process(COMMAND gzip -9nf "${f}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "stage.cmake: gzip ${f} failed")
    endif()
  endforeach()

  if(EXISTS "${here}/lintian/${package}")
    set(overrides "${root}${prefix}/share/lintian/overrides")
    file(MAKE_DIRECTORY "${overrides}")
    file(COPY "${here}/lintian/${package}" DESTINATION "${overrides}")
  endif()
endforeach()
