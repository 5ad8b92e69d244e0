# CLI11, the header-only command-line parser of the zorv tool, as the interface target
# zorv_cli11. Debian installs it in /usr/include/CLI; the MinGW build must not search
# /usr/include (its C library headers would shadow the cross compiler's), so both builds see it
# through a folder of the build tree that holds nothing but a link to CLI/.
find_path(ZORV_CLI11_INCLUDE_DIR CLI/CLI.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  DOC "the folder that holds CLI/CLI.hpp (Debian: libcli11-dev)")
if(NOT ZORV_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found: run scripts/install-deps.sh (libcli11-dev)")
endif()
set(zorv_cli11_dir ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${zorv_cli11_dir})
file(CREATE_LINK ${ZORV_CLI11_INCLUDE_DIR}/CLI ${zorv_cli11_dir}/CLI SYMBOLIC)
add_library(zorv_cli11 INTERFACE)
target_include_directories(zorv_cli11 SYSTEM INTERFACE ${zorv_cli11_dir})
