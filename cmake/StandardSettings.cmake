# Language level, warnings, output places and the sanitizer switch shared by every target.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()

# The binaries lie beside each other at the top of the build tree: build/kivo, build/kivo-repo.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

find_program(KIVO_CCACHE ccache)
if(KIVO_CCACHE)
  set(CMAKE_CXX_COMPILER_LAUNCHER "${KIVO_CCACHE}")
  set(CMAKE_C_COMPILER_LAUNCHER "${KIVO_CCACHE}")
endif()

# Warnings are errors in the debug preset and in the test command's builds (KIVO_WERROR), not in
# a release build that a user compiles with another compiler.
option(KIVO_WERROR "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra)
if(KIVO_WERROR)
  add_compile_options(-Werror)
endif()
# g++ 12 reports false -Wrestrict overlaps inside std::string at -O3 (GCC bug 105651).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

option(KIVO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KIVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  # Position-independent, an instrumented executable carries over a million relative relocations
  # that every start applies page by page (a quarter of a second); the tests start thousands.
  add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
endif()

# The fuzz build (clang): every library is instrumented for libFuzzer; the fuzz targets link
# its driver (tests/fuzz).
option(KIVO_FUZZ "Build the libFuzzer targets of tests/fuzz (clang)" OFF)
if(KIVO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds a static library from every source in the folder, includes rooted at the source tree.
function(kivo_library theName)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${theName} STATIC ${ARG_SOURCES})
    set(aScope PUBLIC)
  else()
    # A layer whose sources are not written yet still takes part in the link graph.
    add_library(${theName} INTERFACE)
    set(aScope INTERFACE)
  endif()
  target_include_directories(${theName} ${aScope} "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${theName} ${aScope} ${ARG_DEPENDS})
endfunction()

# A run of kivo is one short process, so loading shared libraries is a visible part of every
# call (a third of `kivo version`): outside the sanitizer build the binaries are linked
# statically. The C library warns that name-service and dlopen calls would need the shared
# library at run time; kivo makes none of them. Where libpq exists only as a shared library, the
# binaries carry the C++ runtime, load the C library, and open libpq when they first call it
# (cmake/LibPQ.cmake).
function(kivo_fast_startup theTarget)
  if(KIVO_SANITIZE)
    return()
  endif()
  if(KIVO_LIBPQ_STATIC OR NOT KIVO_TEAM_REPOSITORY)
    target_link_options(${theTarget} PRIVATE -static)
  else()
    target_link_options(${theTarget} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
