# The exe's resources (version block, icon, manifest), the settings that make
# two builds of the same source byte-identical, and the checks of both.
# Included from WindowsExe.cmake once `setup_exe` exists.
enable_language(RC)
find_program(PYTHON3 python3 REQUIRED)

set(resources_dir ${CMAKE_SOURCE_DIR}/resources)
set(resources_out ${CMAKE_BINARY_DIR}/resources)

# The icon is drawn as text and turned into a .ico at build time.
set(LUMIDOR_ICON_FILE ${resources_out}/lumidor.ico)
set(LUMIDOR_MANIFEST_FILE ${resources_dir}/lumidor.manifest)
add_custom_command(
  OUTPUT ${LUMIDOR_ICON_FILE}
  COMMAND ${PYTHON3} ${resources_dir}/make_icon.py ${resources_dir}/icon.txt ${LUMIDOR_ICON_FILE}
  DEPENDS ${resources_dir}/make_icon.py ${resources_dir}/icon.txt
  COMMENT "Drawing the program's icon"
  VERBATIM)
add_custom_target(exe_icon DEPENDS ${LUMIDOR_ICON_FILE})

# The publisher's name (checked at configure time) and the files' paths go in
# by configure_file; @ONLY, so nothing in the name is expanded a second time.
configure_file(${resources_dir}/lumidor.rc.in ${resources_out}/lumidor.rc @ONLY)
# What the resource checks compare the version block with.
file(WRITE ${resources_out}/publisher.txt "${Publisher}")

add_library(exe_resources OBJECT ${resources_out}/lumidor.rc)
add_dependencies(exe_resources exe_icon)
# The script is UTF-8 (its pragma says so); 932 is the code page of the
# program's texts, the one the resource compiler falls back on. CMake hands
# the resource compiler only -D and -I options unless told otherwise.
string(APPEND CMAKE_RC_FLAG_REGEX "|^--codepage=")
target_compile_options(exe_resources PRIVATE --codepage=932)
# The resource compiler does not report what its script pulls in.
set_source_files_properties(${resources_out}/lumidor.rc PROPERTIES
  OBJECT_DEPENDS "${LUMIDOR_ICON_FILE};${LUMIDOR_MANIFEST_FILE}")

target_link_libraries(setup_exe PRIVATE exe_resources)

# Reproducible output: no link time stamp in the PE header (the linker writes
# one by default), so the same source gives the same bytes. Nothing else in the
# stripped exe depends on the time or the folders: exe_reproducible checks.
target_link_options(setup_exe PRIVATE -Wl,--no-insert-timestamp)

# A do-nothing program that carries the same resources, so that the resource
# checks can be run on a build with another publisher without building the
# whole setup program.
add_executable(resource_probe EXCLUDE_FROM_ALL tests/exe/resource_probe.cpp)
target_link_libraries(resource_probe PRIVATE exe_resources)
set_target_properties(resource_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The exe's resources, read back by exiftool and icoutils.
add_test(NAME exe_resources
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/check_resources.py
                 --exe $<TARGET_FILE:setup_exe>
                 --publisher-file ${resources_out}/publisher.txt)

# An awkward but allowed publisher's name survives configure, the resource
# compiler and the exe byte for byte.
add_test(NAME exe_resources_publisher_round_trip
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/check_publisher_round_trip.py
                 --source ${CMAKE_SOURCE_DIR}
                 --toolchain ${CMAKE_TOOLCHAIN_FILE}
                 --generator ${CMAKE_GENERATOR}
                 --cmake ${CMAKE_COMMAND}
                 --work ${CMAKE_BINARY_DIR}/publisher-round-trip)
set_tests_properties(exe_resources_publisher_round_trip PROPERTIES TIMEOUT 300)

# A clean build of a copy of the source, in other folders, gives the same exe
# as this build.
add_test(NAME exe_reproducible
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/check_reproducible.py
                 --source ${CMAKE_SOURCE_DIR}
                 --build ${CMAKE_BINARY_DIR}
                 --exe $<TARGET_FILE:setup_exe>
                 --target setup_exe
                 --cmake ${CMAKE_COMMAND}
                 --work ${CMAKE_BINARY_DIR}/reproducible)
set_tests_properties(exe_reproducible PROPERTIES TIMEOUT 900)
