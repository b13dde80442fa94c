# Build helpers shared by every folder.
#
#   w4util_component(NAME SOURCES files... [LIBS libs...])
#       one object library w4util_NAME; its objects go into libw4util.so.
#   w4util_test(NAME SOURCES files... [COMPONENTS names...] [LIBS libs...])
#       one GoogleTest executable linked with the spine components and the
#       named ones, registered with CTest. Test suites whose name contains
#       "Threads" form the ThreadSanitizer set.

set(W4UTIL_WARNINGS -Wall -Wextra -Wpedantic)
if(W4UTIL_WERROR)
  list(APPEND W4UTIL_WARNINGS -Werror)
endif()

if(W4UTIL_SANITIZE)
  string(REPLACE ";" "," _w4util_san "${W4UTIL_SANITIZE}")
  add_compile_options(-fsanitize=${_w4util_san} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_w4util_san})
endif()

if(W4UTIL_BUILD_FUZZ)
  # Coverage instrumentation for every object the harnesses link.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

find_program(W4UTIL_CCACHE ccache)
if(W4UTIL_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${W4UTIL_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${W4UTIL_CCACHE})
endif()

set_property(GLOBAL PROPERTY W4UTIL_COMPONENTS "")

function(w4util_component name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(w4util_${name} OBJECT ${ARG_SOURCES})
  target_include_directories(w4util_${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}> $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>)
  target_compile_options(w4util_${name} PRIVATE ${W4UTIL_WARNINGS})
  target_compile_definitions(w4util_${name} PRIVATE W4UTIL_BUILDING)
  target_link_libraries(w4util_${name} PUBLIC Threads::Threads ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY W4UTIL_COMPONENTS w4util_${name})
endfunction()

function(w4util_finish_library)
  get_property(components GLOBAL PROPERTY W4UTIL_COMPONENTS)
  set(objects "")
  foreach(c IN LISTS components)
    list(APPEND objects $<TARGET_OBJECTS:${c}>)
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in
                 ${PROJECT_BINARY_DIR}/generated/w4util/Version.h @ONLY)

  add_library(w4util SHARED ${objects})
  add_library(w4util::w4util ALIAS w4util)
  set_target_properties(w4util PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  target_include_directories(w4util PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  # Clang leaves the sanitizer runtimes to the executable, so a sanitized
  # shared library has undefined symbols by design.
  if(NOT W4UTIL_SANITIZE)
    target_link_options(w4util PRIVATE -Wl,--no-undefined)
  endif()
  # The public headers need C++20; consumers of the installed package get it too.
  target_compile_features(w4util PUBLIC cxx_std_20)

  # The same objects as a static archive, for tests and benchmarks that reach
  # internals the shared library keeps hidden.
  add_library(w4util_static STATIC ${objects})
  target_include_directories(w4util_static PUBLIC
    ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  foreach(c IN LISTS components)
    get_target_property(libs ${c} INTERFACE_LINK_LIBRARIES)
    if(libs)
      target_link_libraries(w4util PRIVATE ${libs})
      target_link_libraries(w4util_static PUBLIC ${libs})
    endif()
  endforeach()
endfunction()

# The components every other one builds on: text, errors, pools, host seam.
set(W4UTIL_SPINE platform_core foundation errors memory)

function(w4util_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;COMPONENTS;LIBS" ${ARGN})
  if(NOT W4UTIL_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${W4UTIL_WARNINGS})
  # Linking the components' objects directly (not the shared library) keeps
  # internals reachable and lets a folder's tests build while unrelated
  # folders are broken.
  set(components ${W4UTIL_SPINE} ${ARG_COMPONENTS})
  list(REMOVE_DUPLICATES components)
  foreach(c IN LISTS components)
    target_link_libraries(${name} PRIVATE w4util_${c})
  endforeach()
  target_link_libraries(${name} PRIVATE GTest::gmock GTest::gtest_main ${ARG_LIBS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "W4UTIL_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
               ENVIRONMENT_MODIFICATION "W4UTIL_BINARY_DIR=set:${PROJECT_BINARY_DIR}")
endfunction()

function(w4util_install)
  install(TARGETS w4util EXPORT w4utilTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/w4util DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
  install(FILES ${PROJECT_BINARY_DIR}/generated/w4util/Version.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/w4util)
  install(EXPORT w4utilTargets NAMESPACE w4util::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/w4util)
  include(CMakePackageConfigHelpers)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/w4utilConfig.cmake.in
    ${PROJECT_BINARY_DIR}/w4utilConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/w4util)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/w4utilConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/w4utilConfig.cmake ${PROJECT_BINARY_DIR}/w4utilConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/w4util)
  # The .pc file finds its prefix from where it lies, so that
  # cmake --install --prefix (chosen after configuring) gives a working file.
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(W4UTIL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH _w4util_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
    string(REGEX REPLACE "/$" "" _w4util_up "${_w4util_up}")
    set(W4UTIL_PC_PREFIX "\${pcfiledir}/${_w4util_up}")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/w4util.pc.in ${PROJECT_BINARY_DIR}/w4util.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/w4util.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()
