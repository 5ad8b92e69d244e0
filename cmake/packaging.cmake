# `cmake --install` and the Debian package (CPack): zorv in bin/, and the Windows programs that
# a package travels with, setup.exe and uninstall.exe from the win32 build, in lib/zorv/, where
# an installed zorv looks for them (tools/host/stub_path.h). scripts/package.sh builds both
# trees and makes the .deb.
include(GNUInstallDirs)
# Installing (and cpack) takes what is built and does not build every target first: the tests
# and benchmarks are not part of the package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(ZORV_STUB_DIR "${PROJECT_SOURCE_DIR}/build/win32/resources" CACHE PATH
    "Folder of the win32 build's setup.exe and uninstall.exe, installed beside zorv")
install(TARGETS zorv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Checked when installing, not when configuring: the win32 build may come after this one.
install(CODE "
  foreach(program setup.exe uninstall.exe)
    if(NOT EXISTS \"${ZORV_STUB_DIR}/\${program}\")
      message(FATAL_ERROR \"${ZORV_STUB_DIR}/\${program} is missing: build the win32 preset \"
                          \"first (cmake --preset win32 && cmake --build build/win32)\")
    endif()
  endforeach()")
install(FILES ${ZORV_STUB_DIR}/setup.exe ${ZORV_STUB_DIR}/uninstall.exe
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/zorv)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv)
install(FILES ${PROJECT_SOURCE_DIR}/third_party/zlib/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv/third_party/zlib)
install(FILES ${PROJECT_SOURCE_DIR}/third_party/libdeflate/COPYING
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv/third_party/libdeflate)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorv)
set(CPACK_PACKAGE_VENDOR "Zorv Setup")
set(CPACK_PACKAGE_CONTACT "Zorv Setup developers <zorv@localhost>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "builds small setup.exe installers for 32-bit Windows, on Linux")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries zorv links dynamically; the rest (toml++, CLI11, libdeflate) is compiled in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, zlib1g")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}/deb")
include(CPack)
