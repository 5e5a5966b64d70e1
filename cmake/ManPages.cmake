# A man page for each program, made by help2man from the program's own --help and
# --version, so the page never drifts from the program. Installed into share/man/man1.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(WARNING "help2man not found (scripts/setup installs it): no man pages are made")
endif()

# tavolin_add_man_page(<target> <one-line description> [USAGE_ON_STDERR])
# USAGE_ON_STDERR: the program may still print its usage on standard error and fail on
# --help and --version; the page is made from that usage, with the project's version.
function(tavolin_add_man_page target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "USAGE_ON_STDERR" "" "")
  if(NOT HELP2MAN)
    return()
  endif()
  set(page "${CMAKE_BINARY_DIR}/man/${target}.1")
  set(options)
  if(arg_USAGE_ON_STDERR)
    set(options --no-discard-stderr "--version-string=${PROJECT_VERSION}")
  endif()
  add_custom_command(OUTPUT "${page}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
    COMMAND ${HELP2MAN} --no-info --section=1 "--name=${description}" ${options} "--output=${page}"
            "$<TARGET_FILE:${target}>"
    DEPENDS ${target}
    COMMENT "Making the man page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS "${page}")
  install(FILES "${page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
