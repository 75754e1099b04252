# Signs a Windows program in place with osslsigncode (Authenticode, SHA-256,
# no timestamp: the build needs no network), then checks the signature with the
# certificate itself as the trusted root. The build runs this after linking the
# exe when SigningCertificate and SigningKey are set; the tests run it too.
#
#   cmake -DOSSLSIGNCODE=... -DEXE=... -DCERT=... -DKEY=... [-DPASSWORD_FILE=...]
#         [-DDESCRIPTION=...] -P cmake/SignExe.cmake
#
# On any failure the exe is left as it was (unsigned) and the script fails, so
# an unsigned exe never passes for a signed one.

foreach(var OSSLSIGNCODE EXE CERT KEY)
  if(NOT ${var})
    message(FATAL_ERROR "SignExe.cmake needs -D${var}=...")
  endif()
endforeach()
foreach(file EXE CERT KEY PASSWORD_FILE)
  if(${file} AND NOT EXISTS "${${file}}")
    message(FATAL_ERROR "${file} ${${file}} does not exist")
  endif()
endforeach()

set(signed "${EXE}.signing")
file(REMOVE "${signed}")
set(password_args)
if(PASSWORD_FILE)
  set(password_args -readpass "${PASSWORD_FILE}")
endif()
set(description_args)
if(DESCRIPTION)
  set(description_args -n "${DESCRIPTION}")
endif()

execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -certs "${CERT}" -key "${KEY}" ${password_args}
          -h sha256 ${description_args} -in "${EXE}" -out "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "osslsigncode could not sign ${EXE} (${result}):\n${output}")
endif()

execute_process(
  COMMAND "${OSSLSIGNCODE}" verify -CAfile "${CERT}" -in "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "the signature on ${EXE} does not verify against ${CERT} (${result}):\n${output}")
endif()

file(RENAME "${signed}" "${EXE}")
message(STATUS "Signed ${EXE}")
