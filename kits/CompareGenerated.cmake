# Runs the generator and compares its output with the committed file.
execute_process(COMMAND ${GEN} ${KIND} ${VALUE} ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tessarin-kitgen ${KIND} ${VALUE} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${EXPECTED} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${EXPECTED} differs from what tessarin-kitgen ${KIND} ${VALUE} makes; regenerate it")
endif()
