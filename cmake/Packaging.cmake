# The Debian packages that `cpack -G DEB` makes from the install components: "kivo", the client
# (kivo, kivo-repo, zevuserstore, kivo-merge, the manual page and the bash completion), and,
# where the extension is built, "postgresql-<major>-kivo", the extension for the server whose
# pg_config the build used. dpkg-shlibdeps names the shared libraries each package needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "kivo developers <kivo@localhost>")
# Absolute destinations (the server's own directories) land in the package's tree as well.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)

set(CPACK_COMPONENTS_ALL client)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME kivo)
set(CPACK_DEBIAN_CLIENT_DESCRIPTION
  "version control for the design-time repository of a database server
kivo, the repository administration tool kivo-repo, the key store zevuserstore, the three-way
merge tool kivo-merge, the manual page and the bash completion.")
# The client opens libpq when it first talks to a server, so no linked library names it.
if(KIVO_TEAM_REPOSITORY AND NOT KIVO_LIBPQ_STATIC)
  set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS libpq5)
endif()
if(TARGET kivo_pgextension)
  list(APPEND CPACK_COMPONENTS_ALL extension)
  set(CPACK_DEBIAN_EXTENSION_PACKAGE_NAME "postgresql-${KIVO_PG_MAJOR}-kivo")
  set(CPACK_DEBIAN_EXTENSION_PACKAGE_DEPENDS "postgresql-${KIVO_PG_MAJOR}")
  set(CPACK_DEBIAN_EXTENSION_PACKAGE_SECTION database)
  set(CPACK_DEBIAN_EXTENSION_DESCRIPTION
    "kivo repository engine for PostgreSQL ${KIVO_PG_MAJOR}
The extension kivo: a kivo repository in a database of the server, made with kivo-repo init.")
endif()
include(CPack)
