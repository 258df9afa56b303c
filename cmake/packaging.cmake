# The Debian package: what "cmake --install" installs, with dependencies taken
# from the program's real shared libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ideweave)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brackwater Software <support@brackwater.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hooks the Tindral tools into Visual C++ 6.0 Developer Studio")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "hooks the Tindral tools into Visual C++ 6.0 Developer Studio
 ideweave adds the Tindral viewer and options tool to Developer Studio's Tools
 menu and the product's directories to its executable search path, for the
 current user, and takes them out again. Under Wine it edits the Wine prefix's
 user.reg so that Developer Studio running under Wine reads the change.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Only the program and its manual page: the tests install nothing.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
