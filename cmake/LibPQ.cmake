# libpq, the client library of the PostgreSQL backend (dbclient/). A release build links it
# statically when its archive and every library it needs exist as archives (KIVO_LIBPQ_STATIC);
# otherwise the binaries open the shared library when they first call it, and start as fast as
# those without it.
find_package(PostgreSQL REQUIRED)
set(KIVO_LIBPQ_STATIC OFF)
if(NOT KIVO_SANITIZE)
  find_library(KIVO_LIBPQ_ARCHIVE NAMES libpq.a)
  execute_process(COMMAND pg_config --pkglibdir OUTPUT_VARIABLE aPgLibDir
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(KIVO_LIBPQ_ARCHIVE)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_INCLUDES ${PostgreSQL_INCLUDE_DIRS})
    set(CMAKE_REQUIRED_LINK_OPTIONS -static "-L${aPgLibDir}")
    set(KIVO_LIBPQ_STATIC_LIBRARIES "${KIVO_LIBPQ_ARCHIVE}" pgcommon_shlib pgport_shlib ssl crypto
      gssapi_krb5 ldap lber pthread)
    set(CMAKE_REQUIRED_LIBRARIES ${KIVO_LIBPQ_STATIC_LIBRARIES})
    check_cxx_source_compiles("#include <libpq-fe.h>\nint main() { return PQlibVersion() > 0 ? 0 : 1; }"
      KIVO_LIBPQ_LINKS_STATICALLY)
    unset(CMAKE_REQUIRED_INCLUDES)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    unset(CMAKE_REQUIRED_LIBRARIES)
    if(KIVO_LIBPQ_LINKS_STATICALLY)
      set(KIVO_LIBPQ_STATIC ON)
    endif()
  endif()
endif()
if(KIVO_LIBPQ_STATIC)
  message(STATUS "libpq: linked statically")
  add_library(kivo_libpq INTERFACE)
  target_include_directories(kivo_libpq INTERFACE ${PostgreSQL_INCLUDE_DIRS})
  target_link_directories(kivo_libpq INTERFACE "${aPgLibDir}")
  target_link_libraries(kivo_libpq INTERFACE ${KIVO_LIBPQ_STATIC_LIBRARIES})
else()
  # pqclient/pqlibrary.cpp opens the shared library when a run first needs it.
  message(STATUS "libpq: opened when first used (no static archive with all its dependencies)")
  add_library(kivo_libpq INTERFACE)
  target_include_directories(kivo_libpq INTERFACE ${PostgreSQL_INCLUDE_DIRS})
  target_link_libraries(kivo_libpq INTERFACE ${CMAKE_DL_LIBS})
endif()
