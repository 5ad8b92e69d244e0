# Fails when setup.exe without a package is over 72 KiB, or uninstall.exe is larger than it.
# resources/size_breakdown.py on the map beside setup.exe shows what each object weighs.
# cmake -DSETUP=<setup.exe> -DUNINSTALL=<uninstall.exe> -P check_size.cmake
cmake_minimum_required(VERSION 3.25)
set(limit 73728)
file(SIZE ${SETUP} setup)
file(SIZE ${UNINSTALL} uninstall)
message(STATUS "setup.exe ${setup} bytes (at most ${limit}), uninstall.exe ${uninstall} bytes")
if(setup GREATER limit)
  message(FATAL_ERROR "setup.exe is ${setup} bytes, over ${limit}")
endif()
if(uninstall GREATER setup)
  message(FATAL_ERROR "uninstall.exe (${uninstall} bytes) is larger than setup.exe (${setup})")
endif()
