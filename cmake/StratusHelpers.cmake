# Warnings for every target of the project.
function(stratus_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(STRATUS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The subsystems and what each one builds on. Each is an OBJECT library
# stratus_<name>; the shared library is made of all of them.
set(STRATUS_SUBSYSTEMS foundation weather location observation reader host)
set(STRATUS_DEPS_foundation "")
set(STRATUS_DEPS_weather foundation)
set(STRATUS_DEPS_location foundation)
set(STRATUS_DEPS_observation foundation)
set(STRATUS_DEPS_reader foundation weather location observation)
set(STRATUS_DEPS_host foundation weather location observation reader)

# Declares the object library of one subsystem from its sources.
function(stratus_subsystem name)
  add_library(stratus_${name} OBJECT ${ARGN})
  target_include_directories(stratus_${name}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
           $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(stratus_${name} PRIVATE STRATUS_BUILDING_LIBRARY)
  stratus_warnings(stratus_${name})
endfunction()

# Links `target` straight to the objects of the named subsystems and of
# everything they build on, so that internal units are reachable from tests
# and a test builds only what it needs. A subsystem's own libraries (libcurl
# for the reader) come with its object library.
function(stratus_use target)
  set(all "")
  foreach(name ${ARGN})
    list(APPEND all ${name} ${STRATUS_DEPS_${name}})
  endforeach()
  list(REMOVE_DUPLICATES all)
  foreach(name ${all})
    target_link_libraries(${target} PRIVATE stratus_${name})
  endforeach()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endfunction()
