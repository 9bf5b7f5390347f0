# Debian packages: cpack -G DEB, or cmake --workflow --preset package.
# b64num holds the tools, and the SQLite extension when it is built;
# postgresql-NN-b64num holds the PostgreSQL extension for server version NN,
# and mariadb-plugin-b64num the MariaDB loadable functions, when they are.
set(CPACK_GENERATOR DEB)
# Each package's synopsis is the first line of its component's description:
# CPack would put the project's summary in front of every one, where lintian
# finds it repeated, unless the summary is CPack's own default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_PACKAGE_NAME b64num)
set(CPACK_PACKAGE_VENDOR "The b64num developers")
set(CPACK_PACKAGE_CONTACT "b64num maintainers <maintainers@b64num.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The extension goes where pg_config says, an absolute path.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# Depends is computed from the binaries' shared libraries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME b64num)
# b64num-lstat --catalog loads the engines' client libraries when asked, not
# at start: dpkg-shlibdeps cannot see them, so they are named here.
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "libsqlite3-0, libpq5, libmariadb3")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "decode base-64 numerals of Bacula LStat values\nBacula's catalog keeps the attributes of each backed-up file in its LStat\ncolumn as space-separated base-64 numerals. b64num prints one such\nnumeral, given as its argument, as a signed decimal number; b64num-lstat\ndecodes whole LStat values in bulk, as a filter, into named fields; and\n/usr/lib/sqlite3/b64num.so gives SQLite the same decoding in SQL.")

if(B64NUM_POSTGRESQL)
    list(APPEND CPACK_COMPONENTS_ALL postgresql)
    set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_NAME postgresql-${PG_MAJOR_VERSION}-b64num)
    set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_SECTION database)
    set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_DEPENDS postgresql-${PG_MAJOR_VERSION})
    set(CPACK_COMPONENT_POSTGRESQL_DESCRIPTION
        "decode Bacula LStat values inside PostgreSQL ${PG_MAJOR_VERSION}\nThe b64num extension gives SQL functions that decode base-64 numerals and\nLStat values exactly as the b64num tools do: b64num(), lstat_field() and\nlstat(). They are immutable and parallel safe, so they serve in\nexpression indexes and parallel plans.")
endif()

if(B64NUM_MARIADB)
    list(APPEND CPACK_COMPONENTS_ALL mariadb)
    set(CPACK_DEBIAN_MARIADB_PACKAGE_NAME mariadb-plugin-b64num)
    set(CPACK_DEBIAN_MARIADB_PACKAGE_SECTION database)
    set(CPACK_DEBIAN_MARIADB_PACKAGE_DEPENDS mariadb-server)
    set(CPACK_COMPONENT_MARIADB_DESCRIPTION
        "decode Bacula LStat values inside MariaDB\nLoadable functions b64num() and lstat_field() that decode base-64 numerals\nand LStat values exactly as the b64num tools do. Create them with\nmysql < /usr/share/b64num/mariadb/install.sql.")
endif()

# What Debian's policy asks of every package: the machine-readable copyright
# file and, for a native package, the changelog, compressed.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
            DESTINATION ${doc_dir} COMPONENT ${component})
endforeach()

include(CPack)
