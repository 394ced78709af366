# Manual pages made at build time by help2man from a program's own --help and
# --version, so that they never drift from the program.
#
#   sonarchive_add_man_page(<program target> NAME <one line> COMPONENT <component>
#                           [INCLUDE <help2man include file>] [COMMANDS])
#
# With COMMANDS the page gains a section with the --help of each command the
# program's --help lists under "Subcommands:".

if(CMAKE_SCRIPT_MODE_FILE)
  # Run by the rule below: PROGRAM, NAME, OUTPUT, HELP2MAN, and maybe INCLUDE, COMMANDS.
  set(arguments --no-info --section=1 "--name=${NAME}" "--output=${OUTPUT}")
  if(INCLUDE)
    list(APPEND arguments "--include=${INCLUDE}")
  endif()
  if(COMMANDS)
    execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
    endif()
    string(FIND "${help}" "\nSubcommands:\n" start)
    if(start LESS 0)
      message(FATAL_ERROR "${PROGRAM} --help lists no subcommands")
    endif()
    string(SUBSTRING "${help}" ${start} -1 listed)
    string(REGEX MATCHALL "\n  [a-z-]+ " names "${listed}")
    set(section "[COMMANDS]\n")
    foreach(name IN LISTS names)
      string(STRIP "${name}" name)
      execute_process(COMMAND ${PROGRAM} ${name} --help OUTPUT_VARIABLE text RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "${PROGRAM} ${name} --help failed: ${failed}")
      endif()
      # Kept as printed: roff's escape character, minus signs and control lines escaped.
      string(REPLACE "\\" "\\e" text "${text}")
      string(REPLACE "-" "\\-" text "${text}")
      string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
      string(STRIP "${text}" text)
      string(APPEND section ".SS ${name}\n.nf\n${text}\n.fi\n")
    endforeach()
    file(WRITE "${OUTPUT}.commands.h2m" "${section}")
    list(APPEND arguments "--include=${OUTPUT}.commands.h2m")
  endif()
  execute_process(COMMAND ${HELP2MAN} ${arguments} ${PROGRAM} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "help2man failed for ${PROGRAM}: ${failed}")
  endif()
  # Installed compressed, as Debian has them; the same bytes for the same page.
  execute_process(COMMAND ${GZIP} -9 -n -f -k ${OUTPUT} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed for ${OUTPUT}: ${failed}")
  endif()
  return()
endif()

find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)
set(SONARCHIVE_MAN_PAGE_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(sonarchive_add_man_page target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "COMMANDS" "NAME;INCLUDE;COMPONENT" "")
  get_target_property(program ${target} OUTPUT_NAME)
  if(NOT program)
    set(program ${target})
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  set(commands OFF)
  if(arg_COMMANDS)
    set(commands ON)
  endif()
  add_custom_command(OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DGZIP=${GZIP} -DPROGRAM=$<TARGET_FILE:${target}> "-DNAME=${arg_NAME}"
            -DINCLUDE=${arg_INCLUDE} -DCOMMANDS=${commands} -DOUTPUT=${page} -P ${SONARCHIVE_MAN_PAGE_SCRIPT}
    DEPENDS ${target} ${arg_INCLUDE} ${SONARCHIVE_MAN_PAGE_SCRIPT}
    COMMENT "Making the manual page ${program}.1"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${arg_COMPONENT})
endfunction()
