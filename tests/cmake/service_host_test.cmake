# The configure-time check of the service host: what it lets through and what
# it refuses, each row "host|expected" where expected is ok or refused.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/ServiceHost.cmake)

set(long_label "")
foreach(i RANGE 63)
  string(APPEND long_label "a")
endforeach()  # 64 letters

set(rows
  "lumidor.example.com|ok"
  "localhost|ok"
  "a-1.b2.example|ok"
  "xn--wgv71a.example.com|ok"
  "|refused"
  "a b.example.com|refused"
  "a\"b.example.com|refused"
  "a'b.example.com|refused"
  "a/b.example.com|refused"
  "a_b.example.com|refused"
  "example..com|refused"
  ".example.com|refused"
  "example.com.|refused"
  "-example.com|refused"
  "example-.com|refused"
  "${long_label}.example.com|refused"
  "host:8080|refused")

set(failures 0)
set(row_number 0)
foreach(row IN LISTS rows)
  math(EXPR row_number "${row_number} + 1")
  string(FIND "${row}" "|" bar REVERSE)
  string(SUBSTRING "${row}" 0 ${bar} host)
  math(EXPR after "${bar} + 1")
  string(SUBSTRING "${row}" ${after} -1 expected)
  service_host_error("${host}" error)
  if(error)
    set(got refused)
  else()
    set(got ok)
  endif()
  if(NOT got STREQUAL expected)
    message(SEND_ERROR "row ${row_number}: host \"${host}\" was ${got}, expected ${expected} (${error})")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} host rows failed")
endif()
