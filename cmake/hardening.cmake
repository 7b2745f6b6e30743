# Debian's hardening flags for the Linux programs, as dpkg-buildflags gives
# them with every hardening feature on: fortified functions
# (-D_FORTIFY_SOURCE), the stack protector, format checks, and a read-only
# relocation table bound at start (relro, now). Position-independent
# executables are the compiler's default already. dpkg-buildflags' own -g
# and -O2 are left out, as the build type sets those, and so are its
# reproducibility flags. The sanitizer and fuzz builds, Windows and the
# browser build go without.
if(WIN32 OR EMSCRIPTEN OR PATHWICK_SANITIZE OR PATHWICK_FUZZ)
  return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
  return()
endif()

function(pathwick_buildflags variable result)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-all"
            "DEB_CXXFLAGS_MAINT_STRIP=-g -O2" ${DPKG_BUILDFLAGS} --get ${variable}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${result} ${flags} PARENT_SCOPE)
endfunction()

pathwick_buildflags(CPPFLAGS PATHWICK_HARDENING_CPPFLAGS)
pathwick_buildflags(CXXFLAGS PATHWICK_HARDENING_CXXFLAGS)
pathwick_buildflags(LDFLAGS PATHWICK_HARDENING_LDFLAGS)
# _FORTIFY_SOURCE needs the optimiser; without it glibc only warns.
add_compile_options("$<$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<CONFIG:Debug>>>:${PATHWICK_HARDENING_CPPFLAGS}>"
                    "$<$<COMPILE_LANGUAGE:CXX>:${PATHWICK_HARDENING_CXXFLAGS}>")
add_link_options(${PATHWICK_HARDENING_LDFLAGS})
message(STATUS "Hardening flags: ${PATHWICK_HARDENING_CPPFLAGS} ${PATHWICK_HARDENING_CXXFLAGS} "
               "${PATHWICK_HARDENING_LDFLAGS}")
