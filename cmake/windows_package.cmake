# The Windows zip (cpack in the build folder): the programs and README-windows.txt at its top,
# named with the project's version.
install(FILES ${PROJECT_SOURCE_DIR}/README-windows.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Snipforge)
set(CPACK_PACKAGE_VENDOR Snipforge)
set(CPACK_PACKAGE_FILE_NAME "snipforge-${PROJECT_VERSION}-windows-x64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
