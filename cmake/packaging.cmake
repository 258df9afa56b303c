# The Debian package: what "cmake --install" installs, with dependencies taken
# from the program's real shared libraries. scripts/package-deb.sh builds it
# with Debian's hardening flags.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ideweave)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brackwater Software <support@brackwater.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The extended description, one paragraph in lines of at most 76 characters;
# CPack indents each line and puts the summary before them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ideweave adds the Tindral viewer and options tool to the Tools menu of
Visual C++ 6.0 Developer Studio and puts the product's directories in front
of its executable search path, for the current user, and takes them out
again. Under Wine it edits the user.reg hive of the Wine prefix in which
Developer Studio runs, so that Wine reads exactly what it wrote. It reports
whether it changed anything in its exit status, and offers a status query
and a dry run for installers and configuration tools.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS wine)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Only the program, its manual page and its documents: the tests install nothing.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
