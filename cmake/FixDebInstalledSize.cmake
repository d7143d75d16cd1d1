# Run by CPack after it has made the .deb (CPACK_POST_BUILD_SCRIPTS): CPack counts a shared
# library once for each of its symbolic links, which makes Installed-Size about three times
# too large. This recomputes it as Debian's tools do (each regular file rounded up to whole
# KiB, 1 KiB for each other entry) and rebuilds the package with it.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb -R ${deb} failed")
  endif()
  execute_process(
    COMMAND bash -c "find . -mindepth 1 -path ./DEBIAN -prune -o \\( -type f -printf '%s\\n' \\) -o -printf '0\\n' | awk '{ s += $1 > 0 ? int(($1 + 1023) / 1024) : 1 } END { print s }'"
    WORKING_DIRECTORY "${tree}" OUTPUT_VARIABLE size OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${size}" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${deb}" OUTPUT_QUIET
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb -b ${deb} failed")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
