# Debian package: cpack -G DEB, or cmake --workflow --preset package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME b64num)
set(CPACK_PACKAGE_VENDOR "The b64num developers")
set(CPACK_PACKAGE_CONTACT "b64num maintainers <maintainers@b64num.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "decode base-64 numerals of Bacula LStat values")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Bacula's catalog keeps the attributes of each backed-up file in its LStat\ncolumn as space-separated base-64 numerals. b64num prints one such\nnumeral, given as its argument, as a signed decimal number; b64num-lstat\ndecodes whole LStat values in bulk, as a filter, into named fields.")
# Depends is computed from the binary's shared libraries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
