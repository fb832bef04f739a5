# Checks that the icon files that make-icon.sh writes are what the program and
# Windows expect: quorvel.png a 32x32 PNG with an 8-bit palette, quorvel.ico one
# 32x32 bitmap icon of 8 bits per pixel (256 colours).
#
#   cmake -DDIR=<resources folder> -P check-icon-files.cmake

cmake_minimum_required(VERSION 3.22)

set(failures "")

# Whether FILE starts with (or, from byte OFFSET on, holds) the bytes HEX.
function(expect_bytes what file offset)
  string(CONCAT hex ${ARGN})
  string(LENGTH "${hex}" length)
  math(EXPR bytes "${length} / 2")
  file(READ "${DIR}/${file}" found OFFSET ${offset} LIMIT ${bytes} HEX)
  if(NOT found STREQUAL hex)
    set(failures "${failures}\n  ${file}: ${what} (${hex} expected, ${found} found)" PARENT_SCOPE)
  endif()
endfunction()

foreach(file quorvel.png quorvel.ico)
  if(NOT EXISTS "${DIR}/${file}")
    message(FATAL_ERROR "${DIR}/${file} is missing")
  endif()
endforeach()

# PNG signature, then the IHDR chunk: 13 bytes of width 32, height 32, bit
# depth 8 and colour type 3 (indexed).
expect_bytes("PNG of 32x32 with an 8-bit palette" quorvel.png 0
             "89504e470d0a1a0a" "0000000d" "49484452" "00000020" "00000020" "08" "03")

# ICONDIR (reserved 0, type 1 = icon, one image), then its entry: width 32,
# height 32, colour count 0 (256 or more), reserved, 1 plane, 8 bits per pixel.
expect_bytes("one 32x32 icon of 8 bits per pixel" quorvel.ico 0
             "0000" "0100" "0100" "20" "20" "00" "00" "0100" "0800")
# The image right after the directory (at byte 22), as a bitmap rather than
# a PNG: BITMAPINFOHEADER of 40 bytes, width 32, height 64 (image and mask),
# 1 plane, 8 bits per pixel.
expect_bytes("image stored at byte 22" quorvel.ico 18 "16000000")
expect_bytes("8-bit 32x32 bitmap" quorvel.ico 22
             "28000000" "20000000" "40000000" "0100" "0800")

if(failures)
  message(FATAL_ERROR "The icon files are not as they should be:${failures}")
endif()
message(STATUS "quorvel.png and quorvel.ico are 32x32 with 256 colours")
