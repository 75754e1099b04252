# The configure-time check of the publisher's name: what it lets through and
# what it refuses. Names that need raw bytes are built with string(ASCII).
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Publisher.cmake)

set(failures 0)
# expected: "ok", or the start of the reason the name must be refused for.
function(expect name expected)
  publisher_error("${name}" error)
  if(expected STREQUAL "ok")
    if(error)
      set(good FALSE)
    else()
      set(good TRUE)
    endif()
  else()
    string(FIND "${error}" "${expected}" at)
    if(at EQUAL 0)
      set(good TRUE)
    else()
      set(good FALSE)
    endif()
  endif()
  if(good)
    message(STATUS "ok   [${name}] ${error}")
  else()
    message(STATUS "FAIL [${name}] want ${expected}, got \"${error}\"")
    math(EXPR n "${failures} + 1")
    set(failures ${n} PARENT_SCOPE)
  endif()
endfunction()

foreach(hex 07 09 0A 0D 1B 7F 80 85 9F A0 A9 BF C0 C2 E3 ED F0 FF)
  math(EXPR code "0x${hex}")
  string(ASCII ${code} x${hex})
endforeach()
string(REPEAT "a" 200 bytes200)
string(REPEAT "a" 201 bytes201)

# Accepted: names a publisher may really have, and characters that mean
# something to CMake or to the resource compiler's preprocessor but are
# harmless inside a quoted string.
expect("Lumidor Example Publisher" ok)
expect("株式会社ルミドール" ok)
expect("Café Lumière ©" ok)
expect("Lumidor, Inc. (Tokyo) & Co.; 'quoted' %s #1 /* // ??/ @Publisher@ \${x}" ok)
expect("x" ok)
expect("${bytes200}" ok)
expect("${xC2}${xA0}no-break space${xC2}${xA0}" ok)  # U+00A0 is printable

# Refused: what ends a quoted string early or changes its meaning.
expect("" "is empty")
expect("${bytes201}" "is longer than 200 bytes")
expect("Evil\" BEGIN" "may not hold a double quote")
expect("\"" "may not hold a double quote")
expect("Evil\\" "may not hold a backslash")
expect("C:\\n" "may not hold a backslash")
expect("two${x0A}lines" "may not hold control characters")
expect("carriage${x0D}return" "may not hold control characters")
expect("tab${x09}bed" "may not hold control characters")
expect("bell${x07}" "may not hold control characters")
expect("escape${x1B}[0m" "may not hold control characters")
expect("delete${x7F}" "may not hold control characters")
expect("next line${xC2}${x85}" "may not hold control characters")   # U+0085, a C1 control
expect("${xC2}${x80}" "may not hold control characters")            # U+0080
# Refused: bytes the resource compiler would silently cut the string at.
expect("Latin-1 caf${xA9}" "is not UTF-8")            # a lone continuation byte
expect("cut short ${xE3}${x80}" "is not UTF-8")       # a three-byte character missing its last byte
expect("overlong ${xC0}${xA0}" "is not UTF-8")        # a space spelt in two bytes
expect("surrogate ${xED}${xA0}${x80}" "is not UTF-8")  # U+D800
expect("byte ${xFF}" "is not UTF-8")
expect("emoji ${xF0}${x9F}${x98}${x80}" "is not UTF-8")  # outside the Basic Multilingual Plane
# Refused: spaces at either end, which are almost always a quoting slip.
expect(" Lumidor" "begins or ends with a space")
expect("Lumidor " "begins or ends with a space")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} case(s) failed")
endif()
