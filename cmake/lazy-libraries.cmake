# Libraries the programs open on first use instead of linking them (core/lazy_library.h): on
# Linux, where the loader's work at start is measured in milliseconds a library. Elsewhere
# they are linked as usual (Windows builds use the system's own XmlLite and CNG and no
# libarchive).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(dornavel_lazy_default ON)
else()
  set(dornavel_lazy_default OFF)
endif()
option(DORNAVEL_LAZY_LIBRARIES "Open libarchive, libxml2, libcrypto and liblzma on first use (Linux)" ${dornavel_lazy_default})

# dornavel_use_library(TARGET LIBRARY_FILE INCLUDE_DIRS STUBS SONAME_DEFINITION LINK_TARGET)
# Gives TARGET the library whose file is LIBRARY_FILE: with lazy libraries, its headers and
# STUBS (the functions TARGET calls, each reaching the real one through LazyLibrary), the
# library's soname in the definition SONAME_DEFINITION, and the file noted for the Debian
# package's dependencies; otherwise LINK_TARGET, linked.
function(dornavel_use_library target library_file include_dirs stubs soname_definition link_target)
  if(NOT DORNAVEL_LAZY_LIBRARIES)
    target_link_libraries(${target} PRIVATE ${link_target})
    return()
  endif()
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${library_file}
    OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_QUIET)
  string(REGEX MATCH "SONAME +([^ \n]+)" found "${dump}")
  if(NOT status EQUAL 0 OR NOT found)
    message(FATAL_ERROR "No soname found in ${library_file} (objdump -p): configure with -DDORNAVEL_LAZY_LIBRARIES=OFF")
  endif()
  target_include_directories(${target} PRIVATE ${include_dirs})
  target_sources(${target} PRIVATE ${stubs})
  target_compile_definitions(${target} PRIVATE ${soname_definition}="${CMAKE_MATCH_1}")
  target_link_libraries(${target} PUBLIC ${CMAKE_DL_LIBS})
  set_property(GLOBAL APPEND PROPERTY DORNAVEL_LAZY_LIBRARY_FILES ${library_file})
endfunction()
