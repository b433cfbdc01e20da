# Delay-loaded system DLLs for a mingw-w64 program.
#
#   qel_delay_load(<target> <dll>...)      e.g. qel_delay_load(qel user32 gdi32)
#
# The target imports the functions it uses from each DLL (named with or
# without ".dll") through a delay-load library made at build time from the
# toolchain's import library lib<dll>.a: the DLL is then not loaded when the
# process starts, only when one of its functions is first called. A DLL the
# program does not call is not loaded at all and costs nothing.
#
# The delay libraries take the place of the DLLs' import libraries where the
# target names them (target_link_libraries(qel PRIVATE ... shell32 ...)),
# else follow the target's other libraries; either way they come before the
# compiler's default libraries, which hold the regular import libraries.
# After the link, the build fails if the program still imports one of these
# DLLs at start-up. Call it in the directory that creates the target, after
# its target_link_libraries. cmake/delayload.sh has the details.

set(QEL_DELAYLOAD_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/delayload.sh)

function(qel_delay_load target)
  if(NOT MINGW)
    message(FATAL_ERROR "qel_delay_load: only for the mingw-w64 build")
  endif()
  if(ARGC LESS 2)
    message(FATAL_ERROR "qel_delay_load(${target}): name the DLLs to delay-load")
  endif()
  foreach(tool CMAKE_NM CMAKE_OBJDUMP CMAKE_DLLTOOL CMAKE_OBJCOPY)
    if(NOT ${tool})
      message(FATAL_ERROR "qel_delay_load: ${tool} was not found with the toolchain")
    endif()
  endforeach()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/delayload/${target})
  set(libs)
  set(dlls)
  foreach(dll IN LISTS ARGN)
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    execute_process(
      COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
      OUTPUT_VARIABLE implib OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE failed)
    # Without such a library the compiler prints the bare name back.
    if(failed OR NOT IS_ABSOLUTE "${implib}" OR NOT EXISTS "${implib}")
      message(FATAL_ERROR "qel_delay_load: the toolchain has no import library lib${name}.a")
    endif()
    get_filename_component(implib "${implib}" REALPATH)

    set(lib ${dir}/lib${name}_delay.a)
    add_custom_command(
      OUTPUT ${lib}
      COMMAND bash ${QEL_DELAYLOAD_SCRIPT} lib ${CMAKE_NM} ${CMAKE_OBJDUMP} ${CMAKE_DLLTOOL}
              ${CMAKE_OBJCOPY} ${implib} ${name}.dll ${lib}
      DEPENDS ${implib} ${QEL_DELAYLOAD_SCRIPT}
      COMMENT "Delay-load library for ${name}.dll"
      VERBATIM)
    list(APPEND libs ${lib})
    list(APPEND dlls ${name}.dll)
  endforeach()

  add_custom_target(${target}_delayload DEPENDS ${libs})
  add_dependencies(${target} ${target}_delayload)

  # A DLL's import library already named among the target's libraries
  # ("shell32", "-lshell32") gives way to its delay library, in its place;
  # the other delay libraries follow the target's libraries.
  get_target_property(linked ${target} LINK_LIBRARIES)
  if(NOT linked)
    set(linked)
  endif()
  set(placed)
  set(new_linked)
  foreach(item IN LISTS linked)
    string(TOLOWER "${item}" key)
    string(REGEX REPLACE "^-l" "" key "${key}")
    string(REGEX REPLACE "\\.(dll|lib)$" "" key "${key}")
    list(FIND dlls ${key}.dll index)
    if(index EQUAL -1)
      list(APPEND new_linked "${item}")
    elseif(NOT ${key}.dll IN_LIST placed)
      list(GET libs ${index} lib)
      list(APPEND new_linked ${lib})
      list(APPEND placed ${key}.dll)
    endif()
  endforeach()
  foreach(dll lib IN ZIP_LISTS dlls libs)
    if(NOT dll IN_LIST placed)
      list(APPEND new_linked ${lib})
    endif()
  endforeach()
  set_property(TARGET ${target} PROPERTY LINK_LIBRARIES "${new_linked}")
  add_custom_command(
    TARGET ${target} POST_BUILD
    COMMAND bash ${QEL_DELAYLOAD_SCRIPT} check ${CMAKE_OBJDUMP} $<TARGET_FILE:${target}> ${dlls}
    VERBATIM)
endfunction()
