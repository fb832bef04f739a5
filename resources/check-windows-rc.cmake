# Compiles quorvel.rc with GNU windres and, with CHECK on, looks in the result for
# the icon and the version information that Explorer shows for quorvel.exe, and for
# its application manifest.
#
#   cmake -DWINDRES=<windres> -DRC=<quorvel.rc> -DFORMAT=coff|res -DOUT=<file>
#         [-DPREPROCESSOR=<C compiler>] [-DCHECK=ON -DVERSION=<project version>]
#         -P check-windows-rc.cmake
#
# The version numbers and strings looked for are worked out here from VERSION,
# the project version (1.0.8 gives 1,0,0,8 and "1.00.0008"), so that the check
# does not take them from where quorvel.rc got them.
#
# PREPROCESSOR stands in for the MinGW gcc that windres runs by default.
# The check needs FORMAT=res: a .res file is the resources as they are, with
# no object file around them.

cmake_minimum_required(VERSION 3.22)

foreach(var WINDRES RC FORMAT OUT)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check-windows-rc.cmake: ${var} is not set")
  endif()
endforeach()

set(args)
if(PREPROCESSOR)
  list(APPEND args --preprocessor=${PREPROCESSOR} --preprocessor-arg=-E
                   --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED)
endif()
file(REMOVE ${OUT})
execute_process(COMMAND ${WINDRES} ${args} -O ${FORMAT} -o ${OUT} ${RC}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "windres failed on ${RC} (${result}):\n${output}")
endif()
if(output)
  # windres warns about things it then gets wrong, a code page it cannot use
  # for one.
  message(FATAL_ERROR "windres warned about ${RC}:\n${output}")
endif()
message(STATUS "windres compiled ${RC} to ${OUT}")
if(NOT CHECK)
  return()
endif()
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9])\\.([0-9])$")
  message(FATAL_ERROR "check-windows-rc.cmake: VERSION must be major.minor.patch with one-digit "
                      "minor and patch numbers, not \"${VERSION}\"")
endif()
set(major ${CMAKE_MATCH_1})
set(minor ${CMAKE_MATCH_2})
set(patch ${CMAKE_MATCH_3})

file(READ ${OUT} res HEX)
string(TOLOWER "${res}" res)

# The hex digits of TEXT in UTF-16LE, the way Windows keeps strings in a
# resource. TEXT is UTF-8 and within the Basic Multilingual Plane.
function(utf16le text out)
  string(HEX "${text}" hex)
  string(LENGTH "${hex}" length)
  set(result "")
  set(i 0)
  while(i LESS length)
    string(SUBSTRING "${hex}" ${i} 2 byte)
    math(EXPR lead "0x${byte}")
    if(lead LESS 0x80)
      set(code ${lead})
      set(count 0)
    elseif(lead GREATER_EQUAL 0xE0)
      math(EXPR code "${lead} & 0x0F")
      set(count 2)
    else()
      math(EXPR code "${lead} & 0x1F")
      set(count 1)
    endif()
    math(EXPR i "${i} + 2")
    foreach(n RANGE 1 ${count})
      if(count EQUAL 0)
        break()
      endif()
      string(SUBSTRING "${hex}" ${i} 2 byte)
      math(EXPR code "(${code} << 6) | (0x${byte} & 0x3F)")
      math(EXPR i "${i} + 2")
    endforeach()
    math(EXPR low "0x100 + (${code} & 0xFF)" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR high "0x100 + (${code} >> 8)" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${low}" 3 2 low)
    string(SUBSTRING "${high}" 3 2 high)
    string(APPEND result "${low}${high}")
  endwhile()
  string(TOLOWER "${result}" result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

set(failures "")

# Whether the resource holds NEEDLE (hex) starting on a byte.
function(expect what)
  string(CONCAT needle ${ARGN})
  set(rest "${res}")
  set(offset 0)
  string(FIND "${rest}" "${needle}" at)
  while(at GREATER_EQUAL 0)
    math(EXPR odd "(${offset} + ${at}) % 2")
    if(odd EQUAL 0)
      return()
    endif()
    math(EXPR offset "${offset} + ${at} + 1")
    string(SUBSTRING "${res}" ${offset} -1 rest)
    string(FIND "${rest}" "${needle}" at)
  endwhile()
  set(failures "${failures}\n  ${what}" PARENT_SCOPE)
endfunction()

# A String or Var of the version information: its key in UTF-16LE, NUL,
# padding up to four bytes, the value (VALUE_HEX).
function(expect_value what key value_hex)
  utf16le("${key}" k)
  # The key starts 6 bytes into the structure, which starts on four bytes, so
  # after a key of an odd number of characters and its NUL come two bytes of
  # padding.
  string(LENGTH "${k}" key_length)
  math(EXPR odd "(${key_length} / 4) % 2")
  if(odd)
    set(padding "0000")
  else()
    set(padding "")
  endif()
  expect("${what}" "${k}0000${padding}${value_hex}")
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# A String of the StringFileInfo block, its value NUL-terminated.
function(expect_string key value)
  utf16le("${value}" v)
  expect_value("${key} = \"${value}\"" "${key}" "${v}0000")
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# HIGH and LOW as the two 16-bit halves of a little-endian DWORD, in hex.
function(dword_le high low out)
  math(EXPR value "0x100000000 + ((${high} << 16) | ${low})" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${value}" 3 8 value)
  string(SUBSTRING "${value}" 0 2 b3)
  string(SUBSTRING "${value}" 2 2 b2)
  string(SUBSTRING "${value}" 4 2 b1)
  string(SUBSTRING "${value}" 6 2 b0)
  string(TOLOWER "${b0}${b1}${b2}${b3}" value)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# VS_FIXEDFILEINFO: signature, structure version, then FILEVERSION and
# PRODUCTVERSION major,minor,0,patch as two DWORDs each.
dword_le(${major} ${minor} version_ms)
dword_le(0 ${patch} version_ls)
expect("VS_FIXEDFILEINFO with FILEVERSION and PRODUCTVERSION ${major},${minor},0,${patch}"
       "bd04effe" "00000100" "${version_ms}" "${version_ls}" "${version_ms}" "${version_ls}")

utf16le("StringFileInfo" k)
expect("StringFileInfo block" "${k}0000")
utf16le("041104b0" k)
expect("string table 041104b0 (Japanese, Unicode)" "${k}0000")
expect_value("Translation 0x0411, 1200" "Translation" "1104b004")

# Minor number in two digits, patch number in four.
string(SUBSTRING "0${minor}" 0 2 minor2)
string(SUBSTRING "000${patch}" 0 4 patch4)
expect_string("FileVersion" "${major}.${minor2}.${patch4}")
expect_string("ProductVersion" "${major}.${minor2}.${patch4}")
expect_string("FileDescription" "99版パス>WIN版パス相互互換ソフト")
expect_string("Comments" "Win95/98/ME専用")
expect_string("ProductName" "Quorvel ver${major}.${minor}${patch} forWin")
expect_string("InternalName" "Quorvel")
expect_string("OriginalFilename" "Quorvel.exe")
expect_string("CompanyName" "Quorvel Team")
expect_string("LegalCopyright" "Copyright (C) 2026 Quorvel Team")

# The icon group IDI_ICON1 (resource names are kept in capitals), with one
# 32x32 icon of 8 bits per pixel: GRPICONDIR reserved 0, type 1, count 1, then
# width 32, height 32, no colour count, reserved, 1 plane, 8 bits.
utf16le("IDI_ICON1" k)
expect("icon group IDI_ICON1" "ffff0e00${k}0000")
expect("one 32x32 256-colour icon in the group" "0000010001002020000001000800")

# The application manifest, resource 1 of type 24 (RT_MANIFEST), as UTF-8: Windows 10
# and 11, long paths, and no code page of its own.
expect("the manifest, resource 1 of type 24" "ffff1800ffff0100")
foreach(text "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" ">true</longPathAware>")
  string(HEX "${text}" hex)
  expect("the manifest with ${text}" "${hex}")
endforeach()
string(HEX "activeCodePage" hex)
string(FIND "${res}" "${hex}" at)
if(at GREATER_EQUAL 0)
  set(failures "${failures}\n  a manifest without activeCodePage")
endif()

if(failures)
  message(FATAL_ERROR "${OUT} lacks:${failures}")
endif()
message(STATUS "${OUT} holds the icon, the version information and the manifest")
