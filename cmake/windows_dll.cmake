# The 32-bit Windows library QUAR1432.DLL: undecorated exports at fixed ordinals (quar1432.def),
# the title dialog, icon and version resources, and a language runtime linked in statically so
# that the DLL needs only system DLLs.
enable_language(RC)

set_target_properties(quar1432 PROPERTIES PREFIX "" OUTPUT_NAME QUAR1432 SUFFIX .DLL
                                          IMPORT_PREFIX "" IMPORT_SUFFIX .lib)
target_sources(quar1432 PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/src/addin/quar1432.def
  ${CMAKE_CURRENT_SOURCE_DIR}/src/addin/quar1432.rc)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/src/addin/quar1432.rc PROPERTIES
  INCLUDE_DIRECTORIES "${CMAKE_CURRENT_SOURCE_DIR}/src")

# Doubles are formatted by the runtime's own C99 printf, not the system's, so that texts match
# every other build digit for digit.
target_compile_definitions(quar_objects PRIVATE __USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN)

# The .def file names every export without its stdcall decoration (InitBP, not InitBP@48); the
# linker matches the names to the decorated symbols and exports nothing else.
target_link_options(quar1432 PRIVATE
  -static -static-libgcc -static-libstdc++
  -Wl,--enable-stdcall-fixup -Wl,--kill-at -Wl,--no-undefined)
target_link_libraries(quar1432 PRIVATE user32 kernel32)

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  add_subdirectory(tests/windows)
endif()
