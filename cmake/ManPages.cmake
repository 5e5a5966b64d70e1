# A man page for each program, made by help2man from the program's own --help and
# --version, so the page never drifts from the program. Installed into share/man/man1.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(WARNING "help2man not found (scripts/setup installs it): no man pages are made")
endif()

function(tavolin_add_man_page target description)
  if(NOT HELP2MAN)
    return()
  endif()
  set(page "${CMAKE_BINARY_DIR}/man/${target}.1")
  add_custom_command(OUTPUT "${page}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
    COMMAND ${HELP2MAN} --no-info --section=1 "--name=${description}" "--output=${page}"
            "$<TARGET_FILE:${target}>"
    DEPENDS ${target}
    COMMENT "Making the man page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS "${page}")
  install(FILES "${page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
