# The zorv command line end to end on the demo: build with one and with three threads (the
# same bytes), verify, extract and compare every file with its source, a setup.exe through a
# stub (listed by wrestool when it is installed, its icon read back by icotool), and the
# refusals with their exit status.
#   cmake -DZORV=... -DSOURCE_DIR=... -DWORK=... -DUNINSTALLER=... [-DSTUB=...] [-DWRESTOOL=...]
#         [-DICOTOOL=...] -P cli_round_trip.cmake
cmake_minimum_required(VERSION 3.25)

function(zorv expect_success)
  execute_process(COMMAND ${ZORV} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_success AND NOT rc EQUAL 0)
    message(FATAL_ERROR "zorv ${ARGN} failed (${rc}):\n${out}${err}")
  elseif(NOT expect_success AND rc EQUAL 0)
    message(FATAL_ERROR "zorv ${ARGN} should have failed:\n${out}${err}")
  endif()
  set(out "${out}${err}" PARENT_SCOPE)
endfunction()

function(same a b)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${a} ${b} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${a} and ${b} differ")
  endif()
endfunction()

set(demo ${SOURCE_DIR}/examples/demo)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# The header records the output's file name, so both builds get the same one.
zorv(TRUE build ${demo}/zorv.toml -o ${WORK}/demo.pkg -j 3 --uninstaller ${UNINSTALLER})
zorv(TRUE build ${demo}/zorv.toml -o ${WORK}/one/demo.pkg -j 1 --uninstaller ${UNINSTALLER})
same(${WORK}/demo.pkg ${WORK}/one/demo.pkg)

zorv(TRUE verify ${WORK}/demo.pkg)
if(NOT out MATCHES "^OK: 32 entries")
  message(FATAL_ERROR "unexpected verify output: ${out}")
endif()

zorv(TRUE extract ${WORK}/demo.pkg -C ${WORK}/out)
file(GLOB_RECURSE sources RELATIVE ${demo}/app ${demo}/app/*)
# What the manifest's exclude patterns leave out: "*.bak", ".*" and "docs/*.draft".
set(left_out data/settings.ini.bak .notes docs/manual.draft)
foreach(f IN LISTS left_out)
  if(NOT EXISTS ${demo}/app/${f} OR EXISTS ${WORK}/out/${f})
    message(FATAL_ERROR "${f} should be in the demo's app folder and not in the package")
  endif()
endforeach()
list(REMOVE_ITEM sources ${left_out})
foreach(f IN LISTS sources)
  same(${demo}/app/${f} ${WORK}/out/${f})
endforeach()
same(${demo}/extra/changes.txt ${WORK}/out/docs/changes.txt)
file(READ ${WORK}/out/uninstall.exe head LIMIT 2 HEX)
if(NOT head STREQUAL "4d5a")
  message(FATAL_ERROR "the package carries no uninstall.exe at the top")
endif()
file(GLOB_RECURSE extracted RELATIVE ${WORK}/out ${WORK}/out/*)
list(LENGTH sources n_sources)
list(LENGTH extracted n_extracted)
math(EXPR n_expected "${n_sources} + 2")
if(NOT n_extracted EQUAL n_expected)
  message(FATAL_ERROR "extracted ${n_extracted} files, expected ${n_expected}: ${extracted}")
endif()

if(STUB)
  zorv(TRUE build ${demo}/zorv.toml -o ${WORK}/setup.exe --stub ${STUB} --uninstaller ${UNINSTALLER})
  zorv(TRUE verify ${WORK}/setup.exe)
  if(WRESTOOL)
    execute_process(COMMAND ${WRESTOOL} -l ${WORK}/setup.exe OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT listing MATCHES "--type='SETUP' --name=101")
      message(FATAL_ERROR "wrestool does not list the package: ${listing}")
    endif()
    # Another reader puts icon group 101 and its images back together: the demo's two images.
    if(ICOTOOL)
      execute_process(COMMAND ${WRESTOOL} -x --type=14 --name=101 -o ${WORK}/setup.ico
                              ${WORK}/setup.exe RESULT_VARIABLE rc)
      execute_process(COMMAND ${ICOTOOL} -l ${WORK}/setup.ico OUTPUT_VARIABLE icons)
      if(NOT rc EQUAL 0 OR NOT icons MATCHES "width=16 --height=16 --bit-depth=32"
         OR NOT icons MATCHES "width=32 --height=32 --bit-depth=32")
        message(FATAL_ERROR "the setup's icon is not the demo's: ${icons}")
      endif()
    endif()
  endif()
endif()

# An uninstaller that is no program: one line, and nothing written.
zorv(FALSE build ${demo}/zorv.toml -o ${WORK}/bad-uninstaller.pkg --uninstaller ${demo}/zorv.toml)
if(NOT out MATCHES "^zorv: cannot use the uninstaller .*zorv.toml: it is not a Windows program [^\n]*\n$")
  message(FATAL_ERROR "unexpected build output: ${out}")
endif()
if(EXISTS ${WORK}/bad-uninstaller.pkg)
  message(FATAL_ERROR "a failed build left ${WORK}/bad-uninstaller.pkg")
endif()

# A manifest with a name too long: the error names its line and nothing is written.
file(WRITE ${WORK}/bad.toml "[application]\n\nname = \"${WORK}${WORK}${WORK}\"\n")
zorv(FALSE build ${WORK}/bad.toml -o ${WORK}/bad.pkg)
if(NOT out MATCHES "bad.toml:3: error: the application name is")
  message(FATAL_ERROR "unexpected build output: ${out}")
endif()
if(EXISTS ${WORK}/bad.pkg)
  message(FATAL_ERROR "a failed build left ${WORK}/bad.pkg")
endif()
zorv(FALSE verify ${demo}/zorv.toml)
