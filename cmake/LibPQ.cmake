# libpq, the client library of the PostgreSQL backend (dbclient/). A release build links it
# statically when its archive and every library it needs exist as archives (KIVO_LIBPQ_STATIC);
# otherwise it is linked dynamically, and so are the binaries that carry it, with OpenSSL shared
# too, so that one process holds one OpenSSL.
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
  message(STATUS "libpq: linked dynamically (no static archive with all its dependencies)")
  add_library(kivo_libpq INTERFACE)
  target_link_libraries(kivo_libpq INTERFACE PostgreSQL::PostgreSQL)
endif()
