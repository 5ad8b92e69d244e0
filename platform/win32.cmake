# The Win32 implementation of the seam: included by platform/CMakeLists.txt on Windows.
add_library(zorv_platform_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_win32.cpp)
target_link_libraries(zorv_platform_win32 PUBLIC zorv_platform)
# System DLLs only, all of them among those that Windows always takes from its own directory.
# comctl32 is not one of them: the setup loads it by full path (wizard/winmain_win32.cpp).
target_link_libraries(zorv_platform_win32 PUBLIC shell32 ole32 uuid advapi32 gdi32 user32)

# The uninstaller's part of the seam, in a library of its own so that setup.exe never carries it.
add_library(zorv_remove_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/remove_win32.cpp)
target_link_libraries(zorv_remove_win32 PUBLIC zorv_platform_win32)
