# Builds the Debian packages from the build tree, unpacks them into a scratch root and runs the
# programs from there.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/root)

# A run's error log left in the demo kit's folder of the build tree (a run started from there
# writes tsErrlog.txt) must stay out of the package: one is put there while packaging, and the
# check of the installed kit's files below fails if it was shipped.
set(stray_log ${BUILD_DIR}/kits/demo/tsErrlog.txt)
set(planted FALSE)
if(NOT EXISTS ${stray_log})
  file(WRITE ${stray_log} "Start Logging\n")
  set(planted TRUE)
endif()
execute_process(COMMAND cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK}/out
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(planted)
  file(REMOVE ${stray_log})
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status}):\n${out}\n${err}")
endif()

file(GLOB debs ${WORK}/out/*.deb)
list(LENGTH debs count)
set(expected 1)
if(WITH_GUI)
  set(expected 2)
endif()
if(NOT count EQUAL expected)
  message(FATAL_ERROR "expected ${expected} packages, found: ${debs}")
endif()
foreach(deb ${debs})
  execute_process(COMMAND dpkg-deb -x ${deb} ${WORK}/root RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -x ${deb} failed: ${err}")
  endif()
  execute_process(COMMAND dpkg-deb -f ${deb} Package Version Depends OUTPUT_VARIABLE fields)
  message(STATUS "${deb}:\n${fields}")
endforeach()

set(root ${WORK}/root)
foreach(file usr/bin/tessarin usr/lib/udev/rules.d/60-tessarin-serial.rules usr/share/man/man1/tessarin.1.gz
             usr/share/doc/tessarin/copyright usr/share/doc/tessarin/changelog.gz
             usr/share/bash-completion/completions/tessarin
             usr/share/doc/tessarin/examples/demo-kit/patcher.dat
             usr/share/doc/tessarin/examples/simulated-radio/demo.json)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "the packages do not install ${file}")
  endif()
endforeach()

# The demo kit holds the packed kit's files only, nothing a run left beside them (the error log
# put there above included).
file(GLOB kit_files RELATIVE ${root}/usr/share/doc/tessarin/examples/demo-kit
     ${root}/usr/share/doc/tessarin/examples/demo-kit/*)
list(SORT kit_files)
if(NOT kit_files STREQUAL "bc115200;bc19200;bc38400;cp_demo;fw_128k;fw_256k;fw_512k;patcher.dat")
  message(FATAL_ERROR "the demo kit in the package holds: ${kit_files}")
endif()

execute_process(COMMAND ${root}/usr/bin/tessarin --version RESULT_VARIABLE status OUTPUT_VARIABLE version)
if(NOT status EQUAL 0 OR NOT version MATCHES "${EXPECT_VERSION}")
  message(FATAL_ERROR "tessarin --version from the package said (${status}): ${version}")
endif()
message(STATUS "tessarin --version: ${version}")

if(WITH_GUI)
  foreach(file usr/bin/tessarin-gui usr/share/applications/tessarin-gui.desktop
               usr/share/icons/hicolor/scalable/apps/tessarin.svg)
    if(NOT EXISTS ${root}/${file})
      message(FATAL_ERROR "the packages do not install ${file}")
    endif()
  endforeach()
  execute_process(COMMAND ${root}/usr/bin/tessarin-gui --version RESULT_VARIABLE status OUTPUT_VARIABLE version)
  if(NOT status EQUAL 0 OR NOT version MATCHES "${EXPECT_VERSION}")
    message(FATAL_ERROR "tessarin-gui --version from the package said (${status}): ${version}")
  endif()
endif()
file(REMOVE_RECURSE ${WORK})
