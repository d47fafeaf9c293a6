# The program's modules: shared libraries that the run-time loads on first use from the folder of
# the running executable (platform/io/module_loader.h), so that the libraries they need (Qt
# SerialPort, Qt PrintSupport) cost nothing at start-up.

# ks_add_module(<target> <file name> SOURCES <files...> LIBS <libraries...> USED_BY <library>)
# Builds the module <file name> (e.g. ks_serial.so) into the program folder, with the compile and
# sanitizer flags of everything else, exporting its entry point only. <library>, the one that loads
# it, depends on it, so every program that links that library finds the module built.
function(ks_add_module target file)
  cmake_parse_arguments(M "" "USED_BY" "SOURCES;LIBS" ${ARGN})
  get_filename_component(name ${file} NAME_WE)
  add_library(${target} MODULE ${M_SOURCES})
  target_link_libraries(${target} PRIVATE ${M_LIBS})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} SUFFIX ".so"
                        LIBRARY_OUTPUT_DIRECTORY ${KS_PROGRAM_DIR}
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  add_dependencies(${M_USED_BY} ${target})
  set_property(GLOBAL APPEND PROPERTY KS_MODULE_FILES ${name}.so)
  set_property(GLOBAL APPEND PROPERTY KS_MODULE_TARGETS ${target})
endfunction()

# The executable targets of <dir> and the folders below it, into <out>.
function(ks_executables_below dir out)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    ks_executables_below(${subdir} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# ks_link_modules_beside_executables()
# The loader looks beside the running executable only, so each other folder of the build that
# holds executables (the suites in tests/, the benchmarks in bench/ ...) gets a link to each
# module in the program folder. Called once, after every target is defined.
function(ks_link_modules_beside_executables)
  get_property(modules GLOBAL PROPERTY KS_MODULE_FILES)
  ks_executables_below(${CMAKE_SOURCE_DIR} executables)
  set(folders)
  foreach(target ${executables})
    get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(folder AND NOT folder STREQUAL KS_PROGRAM_DIR)
      list(APPEND folders ${folder})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES folders)
  foreach(folder ${folders})
    file(MAKE_DIRECTORY ${folder})
    # Relative, so that the build tree still works when moved.
    file(RELATIVE_PATH to_program ${folder} ${KS_PROGRAM_DIR})
    foreach(module ${modules})
      file(CREATE_LINK ${to_program}/${module} ${folder}/${module} SYMBOLIC)
    endforeach()
  endforeach()
endfunction()
