# Cross-building for 64-bit Windows: only for the tests, on hosts that cannot run
# the 32-bit program under Wine.
set(IDEWEAVE_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
