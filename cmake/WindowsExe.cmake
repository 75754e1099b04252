# The shipped program: a 32-bit GUI exe that runs on Windows XP SP2 and later
# with nothing but the system's own DLLs.
set(exe_name "Lumidor Install for IE")

add_library(platform_win32 STATIC
  platform/dll_hardening.cpp
  platform/win32_registry.cpp
  platform/win32_services.cpp
  platform/win32_shell_link.cpp)
# comdlg32 is not linked: the file-open dialog loads it when it is needed.
target_link_libraries(platform_win32 PUBLIC setup_logic ole32 uuid)
# Every program on this layer: headers that offer nothing newer than XP, and
# the C and C++ run-times linked in, so that it needs no MinGW DLL.
target_compile_definitions(platform_win32 PUBLIC _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_options(platform_win32 INTERFACE -static -static-libgcc -static-libstdc++)

add_executable(setup_exe WIN32 platform/win32_main.cpp)
set_target_properties(setup_exe PROPERTIES
  OUTPUT_NAME "${exe_name}"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

foreach(target setup_logic platform_win32 setup_exe)
  target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
endforeach()

target_link_libraries(setup_exe PRIVATE platform_win32)
target_link_options(setup_exe PRIVATE
  -Wl,--gc-sections -s
  -Wl,--major-subsystem-version,5,--minor-subsystem-version,1)

set(LUMIDOR_EXE "$<TARGET_FILE:setup_exe>")

find_program(PYTHON3 python3 REQUIRED)
# Every ending of a run, from the real exe in fresh prefixes, read back with
# Wine's relay trace, lnkinfo and `wine reg query`.
add_test(NAME wine_endings
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/wine/test_endings.py
                 --exe ${LUMIDOR_EXE} --host ${ServiceHost}
                 --work ${CMAKE_BINARY_DIR}/wine-work)
set_tests_properties(wine_endings PROPERTIES TIMEOUT 900)

# The Win32 layer against the real API, as a console program run under Wine.
add_executable(platform_tests tests/platform/win32_services_test.cpp)
target_link_libraries(platform_tests PRIVATE platform_win32 shlwapi)
set_target_properties(platform_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_test(NAME wine_platform
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/wine/test_platform.py
                 --exe $<TARGET_FILE:platform_tests> --work ${CMAKE_BINARY_DIR}/wine-work)
set_tests_properties(wine_platform PROPERTIES TIMEOUT 600)

add_test(NAME exe_shape
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/check_exe_shape.py
                 --objdump ${CMAKE_OBJDUMP} --exe ${LUMIDOR_EXE})

# The exe's version block, icon and manifest; reproducible builds; their checks.
include(${CMAKE_SOURCE_DIR}/cmake/ExeResources.cmake)

# ---- Import table against Windows XP SP2 -------------------------------------
# Every imported function must be one the system's own DLLs export on XP SP2;
# the list and where it came from are in tests/exe/xp_sp2_exports.txt.
add_test(NAME exe_imports_xp_sp2
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/check_imports.py
                 --objdump ${CMAKE_OBJDUMP} --exe ${LUMIDOR_EXE}
                 --exports ${CMAKE_SOURCE_DIR}/tests/exe/xp_sp2_exports.txt)

# ---- DLL search hardening under Wine -----------------------------------------
# A marker DLL to plant next to a program under a system DLL's name, a console
# probe that takes the hardening's steps one by one and then loads that name,
# and the shipped exe, traced, run from a folder holding the plant.
add_library(planted_dll SHARED tests/wine/planted_dll.cpp)
target_include_directories(planted_dll PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(planted_dll PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_target_properties(planted_dll PROPERTIES
  OUTPUT_NAME planted PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-builds)

add_executable(dll_search_probe tests/wine/dll_search_probe.cpp)
target_link_libraries(dll_search_probe PRIVATE platform_win32)
set_target_properties(dll_search_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-builds)

add_test(NAME wine_dll_hardening
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/wine/test_dll_hardening.py
                 --exe ${LUMIDOR_EXE} --probe $<TARGET_FILE:dll_search_probe>
                 --planted $<TARGET_FILE:planted_dll> --work ${CMAKE_BINARY_DIR}/wine-work)
set_tests_properties(wine_dll_hardening PROPERTIES TIMEOUT 600)

# ---- Authenticode signing (optional) -------------------------------------------
# With SigningCertificate and SigningKey set, the exe is signed and verified
# right after it is linked; unset (the default), it stays unsigned.
find_program(OSSLSIGNCODE osslsigncode)
if(SigningCertificate)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (scripts/install-deps installs it).")
  endif()
  add_custom_command(TARGET setup_exe POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DEXE=$<TARGET_FILE:setup_exe>
            -DCERT=${SigningCertificate} -DKEY=${SigningKey}
            -DPASSWORD_FILE=${SigningKeyPasswordFile} "-DDESCRIPTION=Lumidor for IE"
            -P ${CMAKE_SOURCE_DIR}/cmake/SignExe.cmake
    VERBATIM)
endif()

# Signs a copy of the exe with throwaway certificates through SignExe.cmake
# and runs the signed copy under Wine.
find_program(OPENSSL openssl)
add_test(NAME exe_signing
         COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/exe/test_signing.py
                 --exe ${LUMIDOR_EXE} --objdump ${CMAKE_OBJDUMP}
                 --osslsigncode ${OSSLSIGNCODE} --openssl ${OPENSSL} --cmake ${CMAKE_COMMAND}
                 --sign-script ${CMAKE_SOURCE_DIR}/cmake/SignExe.cmake
                 --host ${ServiceHost} --work ${CMAKE_BINARY_DIR}/wine-work)
set_tests_properties(exe_signing PROPERTIES TIMEOUT 600)
