# The program's version is the project version, 1.0.8, and nothing else. From it
# come the forms in which the program shows it:
#
#   QUORVEL_VERSION_SHORT    "1.08"       window caption and version text
#   QUORVEL_VERSION_WINDOWS  "1.00.0008"  file and product version strings of quorvel.exe
#   QUORVEL_VERSION_NUMBERS  "1,0,0,8"    FILEVERSION and PRODUCTVERSION of quorvel.exe
#
# and the package and its AppStream release take PROJECT_VERSION as it is.
# Version.h hands the short form and the application's ID to the code.

# "1.08" writes the minor and the patch number as one digit each; a version
# that does not fit would show as another one.
foreach(part MINOR PATCH)
  if(NOT PROJECT_VERSION_${part} MATCHES "^[0-9]$")
    message(FATAL_ERROR "The ${part} number of version ${PROJECT_VERSION} has more than one "
                        "digit, which the caption's form 1.08 cannot show")
  endif()
endforeach()

# NUMBER with zeros in front up to WIDTH digits.
function(quorvel_pad number width out)
  string(LENGTH "${number}" length)
  while(length LESS width)
    string(PREPEND number "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${number}" PARENT_SCOPE)
endfunction()

set(QUORVEL_VERSION_SHORT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}${PROJECT_VERSION_PATCH}")
quorvel_pad(${PROJECT_VERSION_MINOR} 2 minor)
quorvel_pad(${PROJECT_VERSION_PATCH} 4 patch)
set(QUORVEL_VERSION_WINDOWS "${PROJECT_VERSION_MAJOR}.${minor}.${patch}")
set(QUORVEL_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,${PROJECT_VERSION_PATCH}")
unset(minor)
unset(patch)

# One name for the desktop entry, the icon and the AppStream component,
# the project's domain quorvel.example.org read backwards (AppStream wants it in
# lower case).
set(QUORVEL_APP_ID "org.example.quorvel")
set(QUORVEL_HOMEPAGE "https://quorvel.example.org/")

configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${CMAKE_BINARY_DIR}/generated/Version.h @ONLY)
add_library(quorvel_version INTERFACE)
target_include_directories(quorvel_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
