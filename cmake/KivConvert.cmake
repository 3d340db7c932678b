# kiv_convert(OUTPUT <file> SOURCE <file> OPTIONS <option>...)
# kiv_convert(OUTPUT <header> SOURCE <file> VARIABLE <name> [OPTIONS <option>...])
#
# Adds a custom command that writes OUTPUT from SOURCE with Kiv and the
# options given, e.g. kiv_convert(OUTPUT page.inc SOURCE page.html
# OPTIONS -C -D). A relative SOURCE counts from the current source folder,
# a relative OUTPUT from the current binary folder. The command runs again
# when SOURCE or Kiv changes; when Kiv fails, the build fails with Kiv's
# message. List OUTPUT among the sources of a target so that it is made.
#
# With VARIABLE, OUTPUT is a header holding the text as one constant,
# static const char <name>[] = "...";, that is the text itself: its length
# is sizeof <name> - 1. Without OPTIONS, Kiv escapes what a C literal
# needs and changes nothing else (-z -a -r -t -h -l).
#
# Used by the installed package (KivConfig.cmake) and by a project that adds
# Kiv with add_subdirectory or FetchContent; both provide the target Kiv::Kiv.

# The build runs this file as a script to turn Kiv's output into the
# header; the function finds it through this property.
set_property(GLOBAL PROPERTY KIV_CONVERT_FILE "${CMAKE_CURRENT_LIST_FILE}")

# The functions keep the policies of this file, whatever the project that
# calls them sets (IN_LIST; variable values that hold any byte).
cmake_policy(PUSH)
cmake_policy(VERSION 3.16)

# Refuses OPTIONS that cannot give a valid constant, saying why.
function(_kiv_check_constant_options variable)
  # What the options of Kiv do to a constant: those that keep a C literal
  # valid, those that make it valid (line breaks and quotes escaped,
  # backslashes doubled, no raw carriage return after a >), and those that
  # cannot stand in one: print commands are statements, and C knows no
  # escape such as \/ or \;.
  set(literal_escapes -z -a -r -t -% -l -h -H -C -P -B)
  set(newline -z -C -P -J -B -S)
  set(quote -a -C -P -J -B -S)
  set(backslash -r -C -P -J -B -S)
  set(no_tag_mode -h -C -P -J -B -S)
  set(statement -D -Du)
  set(unknown_to_c -sr -ss -p -sk -st -kr -k -rk -ek -gk -J -S)
  foreach(option IN LISTS ARGN)
    if(option IN_LIST statement)
      message(FATAL_ERROR "kiv_convert: option ${option} writes a print command, "
                          "a statement; VARIABLE ${variable} needs a literal")
    elseif(option IN_LIST unknown_to_c)
      message(FATAL_ERROR "kiv_convert: option ${option} writes escapes that C "
                          "does not know (such as \\/ or \\;); VARIABLE ${variable} "
                          "is a C literal")
    elseif(NOT option IN_LIST literal_escapes)
      message(FATAL_ERROR "kiv_convert: ${option} is no option of Kiv")
    endif()
  endforeach()
  foreach(need IN ITEMS
      "newline;-z;a line break would end the literal"
      "quote;-a;a quote would end the literal"
      "backslash;-r;a backslash would start an escape"
      "no_tag_mode;-h;a carriage return after > would stay raw and end the literal")
    list(GET need 0 kind)
    list(GET need 1 option)
    list(GET need 2 why)
    set(found OFF)
    foreach(given IN LISTS ARGN)
      if(given IN_LIST ${kind})
        set(found ON)
      endif()
    endforeach()
    if(NOT found)
      message(FATAL_ERROR "kiv_convert: the OPTIONS of VARIABLE ${variable} need "
                          "${option} or a preset (-C, -P, -B): without it ${why}")
    endif()
  endforeach()
endfunction()

function(kiv_convert)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUTPUT;SOURCE;VARIABLE" "OPTIONS")
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
  if("VARIABLE" IN_LIST arg_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "kiv_convert: VARIABLE needs the name of the constant")
  endif()
  if(DEFINED arg_VARIABLE)
    if(NOT arg_VARIABLE MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "kiv_convert: VARIABLE ${arg_VARIABLE} is no C name")
    endif()
    if(NOT arg_OPTIONS)
      set(arg_OPTIONS -z -a -r -t -h -l)
    endif()
    _kiv_check_constant_options(${arg_VARIABLE} ${arg_OPTIONS})
  endif()

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

  # With VARIABLE, Kiv writes its line beside the header, and this file,
  # run as a script, makes the header of it.
  set(target "${output}")
  set(make_header "")
  set(script "")
  if(DEFINED arg_VARIABLE)
    get_property(script GLOBAL PROPERTY KIV_CONVERT_FILE)
    set(target "${output}.kiv")
    set(make_header BYPRODUCTS "${target}"
      COMMAND "${CMAKE_COMMAND}" "-DKIV_LITERAL=${target}" "-DKIV_HEADER=${output}"
              "-DKIV_VARIABLE=${arg_VARIABLE}" "-DKIV_SOURCE=${source}" -P "${script}")
  endif()

  # CMake runs a program that the project builds for another system
  # through CMAKE_CROSSCOMPILING_EMULATOR, but never an imported one: an
  # installed Kiv built for another system than this machine's (Kiv.exe in
  # a cross build for Windows, under Wine) is run through it here.
  set(kiv Kiv::Kiv)
  get_target_property(kiv_system Kiv::Kiv KIV_SYSTEM)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR AND kiv_system AND
     NOT kiv_system STREQUAL "${CMAKE_HOST_SYSTEM_NAME}-${CMAKE_HOST_SYSTEM_PROCESSOR}")
    set(kiv ${CMAKE_CROSSCOMPILING_EMULATOR} "$<TARGET_FILE:Kiv::Kiv>")
  endif()

  # Absolute names start with / (or a drive letter), so Kiv never takes
  # one for an option. A run that fails removes the OUTPUT it began to
  # write, so the next build runs it again.
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${output_dir}"
    COMMAND ${kiv} "${source}" "${target}" ${arg_OPTIONS}
    ${make_header}
    DEPENDS "${source}" Kiv::Kiv ${script}
    COMMENT "Kiv: ${shown}"
    VERBATIM)
endfunction()

# Run by the build (cmake -P): KIV_LITERAL holds Kiv's output, one line
# ending in the \n that Kiv writes for the end of the text and then its
# own line end, a line feed, or CR LF from Kiv.exe. file(READ) drops the CR
# of a CR LF that ends a line, so both read as a line feed here, and any
# other end is refused. None of it goes into the constant, which so holds
# the text as it is. A failure leaves no header behind.
function(_kiv_write_header)
  file(READ "${KIV_LITERAL}" literal)
  file(REMOVE "${KIV_LITERAL}" "${KIV_HEADER}")
  string(LENGTH "${literal}" length)
  math(EXPR line_length "${length} - 1")
  math(EXPR text_length "${length} - 3")
  string(FIND "${literal}" "\n" line_end)
  if(text_length LESS 0 OR NOT line_end EQUAL line_length)
    message(FATAL_ERROR "kiv_convert: Kiv wrote more than one line for ${KIV_SOURCE}")
  endif()
  string(SUBSTRING "${literal}" ${text_length} 3 end)
  if(NOT end STREQUAL "\\n\n")
    message(FATAL_ERROR "kiv_convert: Kiv's output for ${KIV_SOURCE} does not end the text with \\n")
  endif()
  # CMake's regular expressions end at a NUL byte, its strings do not.
  string(REGEX MATCH "^[^\n]*" up_to_nul "${literal}")
  string(LENGTH "${up_to_nul}" nul_at)
  if(NOT nul_at EQUAL line_end)
    message(FATAL_ERROR "kiv_convert: ${KIV_SOURCE} holds a NUL byte, which would "
                        "stand raw in the literal of ${KIV_VARIABLE} (compilers warn, "
                        "C string functions stop there); remove it first, e.g. with "
                        "tr -d '\\000'")
  endif()
  string(SUBSTRING "${literal}" 0 ${text_length} text)
  get_filename_component(name "${KIV_SOURCE}" NAME)
  file(WRITE "${KIV_HEADER}"
    "/* Written by Kiv from ${name}; change that file instead. */\n"
    "static const char ${KIV_VARIABLE}[] = \"${text}\";\n")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  _kiv_write_header()
endif()
cmake_policy(POP)
