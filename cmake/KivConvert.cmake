# kiv_convert(OUTPUT <file> SOURCE <file> OPTIONS <option>...)
#
# Adds a custom command that writes OUTPUT from SOURCE with Kiv and the
# options given, e.g. kiv_convert(OUTPUT page.inc SOURCE page.html
# OPTIONS -C -D). A relative SOURCE counts from the current source folder,
# a relative OUTPUT from the current binary folder. The command runs again
# when SOURCE or Kiv changes; when Kiv fails, the build fails with Kiv's
# message. List OUTPUT among the sources of a target so that it is made.
#
# Used by the installed package (KivConfig.cmake) and by a project that adds
# Kiv with add_subdirectory or FetchContent; both provide the target Kiv::Kiv.

function(kiv_convert)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT;SOURCE" "OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kiv_convert: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT OR NOT arg_SOURCE)
    message(FATAL_ERROR "kiv_convert: OUTPUT and SOURCE are required")
  endif()
  # Kiv takes -E, -A and - for the standard streams. Next to the two file
  # names they would shift them: Kiv would read standard input and write
  # it over SOURCE.
  foreach(option IN LISTS arg_OPTIONS)
    if(option STREQUAL "-E" OR option STREQUAL "-A" OR option STREQUAL "-")
      message(FATAL_ERROR "kiv_convert: option ${option} is for the standard "
                          "streams; SOURCE and OUTPUT are files here")
    endif()
  endforeach()

  get_filename_component(source "${arg_SOURCE}" ABSOLUTE
                         BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE
                         BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  # Kiv would refuse it too, but only when the build runs; a command whose
  # output is its own dependency is better refused now.
  string(COMPARE EQUAL "${source}" "${output}" same)
  if(WIN32)
    string(TOLOWER "${source}" source_key)
    string(TOLOWER "${output}" output_key)
    string(COMPARE EQUAL "${source_key}" "${output_key}" same)
  endif()
  if(same)
    message(FATAL_ERROR "kiv_convert: SOURCE and OUTPUT are the same file: ${source}")
  endif()
  get_filename_component(output_dir "${output}" DIRECTORY)
  file(RELATIVE_PATH shown "${CMAKE_BINARY_DIR}" "${output}")

  # Absolute names start with / (or a drive letter), so Kiv never takes
  # one for an option. A run that fails removes the OUTPUT it began to
  # write, so the next build runs it again.
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_dir}"
    COMMAND Kiv::Kiv "${source}" "${output}" ${arg_OPTIONS}
    DEPENDS "${source}" Kiv::Kiv
    COMMENT "Kiv: ${shown}"
    VERBATIM)
endfunction()
