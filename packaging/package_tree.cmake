# Run by CPack on the staged tree of a package just before packing it. The
# tarball gets README and license at its top; the Debian package and the
# RPM get compressed manual pages (gzip -9n: no name, no time stamp, the
# same bytes on every run), the Debian package also Debian's own files.

set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(packaging "${CPACK_KIV_PACKAGING_DIR}")
set(doc "${root}/share/doc/kiv")

if(CPACK_GENERATOR STREQUAL "TGZ")
  file(COPY "${CPACK_KIV_SOURCE_DIR}/README.md" "${CPACK_KIV_SOURCE_DIR}/LICENSE"
       DESTINATION "${CPACK_TEMPORARY_DIRECTORY}")
endif()
if(NOT CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_GENERATOR STREQUAL "RPM")
  return()
endif()

function(gzip_in_place file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip -9n ${file} failed: ${result}")
  endif()
endfunction()

file(GLOB pages "${root}/share/man/man1/*.1")
foreach(page IN LISTS pages)
  gzip_in_place("${page}")
endforeach()

if(CPACK_GENERATOR STREQUAL "RPM")
  return()
endif()

file(COPY "${packaging}/copyright" DESTINATION "${doc}")
configure_file("${packaging}/changelog" "${doc}/changelog.Debian" COPYONLY)
gzip_in_place("${doc}/changelog.Debian")

# A dynamically linked build (KIV_STATIC=OFF) keeps no static-link
# override; a static PIE gets lintian's tag for such a program.
file(READ "${packaging}/kiv.lintian-overrides" overrides)
if(NOT CPACK_KIV_STATIC)
  string(FIND "${overrides}" "# Linked statically" static_part)
  string(SUBSTRING "${overrides}" 0 ${static_part} overrides)
elseif(CPACK_KIV_STATIC_PIE)
  string(REPLACE "statically-linked-binary" "shared-library-lacks-prerequisites"
         overrides "${overrides}")
endif()
file(WRITE "${root}/share/lintian/overrides/kiv" "${overrides}")
