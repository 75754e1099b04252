# The shipped program: a 32-bit GUI exe that runs on Windows XP SP2 and later
# with nothing but the system's own DLLs.
set(exe_name "Lumidor Install for IE")

add_executable(setup_exe WIN32
  platform/win32_main.cpp
  platform/win32_registry.cpp
  platform/win32_services.cpp
  platform/win32_shell_link.cpp)
set_target_properties(setup_exe PROPERTIES
  OUTPUT_NAME "${exe_name}"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Keep the headers from offering anything newer than XP.
foreach(target setup_logic setup_exe)
  target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0501 WINVER=0x0501)
  target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
endforeach()

target_link_libraries(setup_exe PRIVATE setup_logic ole32 uuid comdlg32)
target_link_options(setup_exe PRIVATE
  -static -static-libgcc -static-libstdc++
  -Wl,--gc-sections -s
  -Wl,--major-subsystem-version,5,--minor-subsystem-version,1)

set(LUMIDOR_EXE "$<TARGET_FILE:setup_exe>")

find_program(PYTHON3 python3 REQUIRED)
add_test(NAME wine_first_proof
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/wine/test_first_proof.py
                 --exe ${LUMIDOR_EXE} --host ${ServiceHost}
                 --work ${CMAKE_BINARY_DIR}/wine-work)
set_tests_properties(wine_first_proof PROPERTIES TIMEOUT 600)
