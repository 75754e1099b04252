# The publisher's name is written into quoted strings of the resource script
# (the company, copyright and trademark entries of the version block), which
# is read as UTF-8. So the name must be UTF-8 text that cannot end such a
# string early or change its meaning: no double quote, no backslash, no
# control character. The resource compiler silently cuts a string at the first
# byte that is not UTF-8, which is why the encoding is checked here.

set(PUBLISHER_MAX_BYTES 200)

# One character of UTF-8 text in the Basic Multilingual Plane, as a regular
# expression. CMake's regular expressions work on bytes, so the multi-byte
# forms are spelt out from raw byte values; the ranges are those of
# well-formed UTF-8 (no overlong forms, no surrogates).
function(_publisher_utf8_char out)
  foreach(hex 80 9F A0 BF C2 C3 DF E0 E1 EC ED EE EF)
    math(EXPR code "0x${hex}")
    string(ASCII ${code} x${hex})
  endforeach()
  set(tail "[${x80}-${xBF}]")
  set(two "[${xC2}-${xDF}]${tail}")
  set(three "${xE0}[${xA0}-${xBF}]${tail}|[${xE1}-${xEC}${xEE}-${xEF}]${tail}${tail}|${xED}[${x80}-${x9F}]${tail}")
  set(${out} "[ -~]|${two}|${three}" PARENT_SCOPE)
endfunction()

# Control characters: C0 (tab and line breaks included), DEL and C1 (U+0080
# to U+009F, which UTF-8 writes as C2 80 to C2 9F).
function(_publisher_control out)
  string(ASCII 1 x01)
  string(ASCII 31 x1F)
  string(ASCII 127 x7F)
  string(ASCII 194 xC2)
  string(ASCII 128 x80)
  string(ASCII 159 x9F)
  set(${out} "[${x01}-${x1F}${x7F}]|${xC2}[${x80}-${x9F}]" PARENT_SCOPE)
endfunction()

# Sets `out_error` to why `name` is refused as the publisher's name, or to ""
# when it is fine.
function(publisher_error name out_error)
  _publisher_utf8_char(char)
  _publisher_control(control)
  string(LENGTH "${name}" length)
  set(error "")
  if(length EQUAL 0)
    set(error "is empty")
  elseif(length GREATER PUBLISHER_MAX_BYTES)
    set(error "is longer than ${PUBLISHER_MAX_BYTES} bytes")
  elseif(name MATCHES "\"")
    set(error "may not hold a double quote")
  elseif(name MATCHES "\\\\")
    set(error "may not hold a backslash")
  elseif(name MATCHES "${control}")
    set(error "may not hold control characters (tabs and line breaks included)")
  elseif(NOT name MATCHES "^(${char})+$")
    set(error "is not UTF-8 text of the Basic Multilingual Plane")
  elseif(name MATCHES "^ " OR name MATCHES " $")
    set(error "begins or ends with a space")
  endif()
  set(${out_error} "${error}" PARENT_SCOPE)
endfunction()
