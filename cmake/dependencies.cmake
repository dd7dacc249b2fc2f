# zlib, minizip, libdeflate and googletest for both targets.
#
# Native: Debian's zlib1g-dev, libminizip-dev and libdeflate-dev.
# Windows: zlib from libz-mingw-w64-dev; minizip and libdeflate compiled from the same Debian
# source packages that libminizip-dev and libdeflate-dev are built from (scripts/fetch-minizip and
# scripts/fetch-libdeflate unpack them under build/third_party).
# Fuzz builds compile minizip and libdeflate from those sources too, so that they are
# instrumented with our code.

if(WIN32)
  # Link zlib into Install.exe itself: the mingw package also ships an import library for a DLL.
  set(ZLIB_USE_STATIC_LIBS ON)
  # A build directory configured before this picked the import library: look again.
  foreach(var ZLIB_LIBRARY ZLIB_LIBRARY_RELEASE ZLIB_LIBRARY_DEBUG)
    if("${${var}}" MATCHES "\\.dll\\.a$")
      unset(${var} CACHE)
    endif()
  endforeach()
endif()
find_package(ZLIB REQUIRED)

if(WIN32 OR INSTALLER_FUZZ)
  set(MINIZIP_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/third_party/minizip" CACHE PATH
      "unpacked Debian minizip source package")
  if(NOT EXISTS "${MINIZIP_SOURCE_DIR}/unzip.c")
    message(FATAL_ERROR "minizip sources missing in ${MINIZIP_SOURCE_DIR}: run scripts/fetch-minizip")
  endif()
  add_library(minizip STATIC
    ${MINIZIP_SOURCE_DIR}/unzip.c
    ${MINIZIP_SOURCE_DIR}/ioapi.c)
  target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_SOURCE_DIR})
  target_compile_options(minizip PRIVATE -w)
  target_link_libraries(minizip PUBLIC ZLIB::ZLIB)

  set(LIBDEFLATE_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/third_party/libdeflate" CACHE PATH
      "unpacked Debian libdeflate source package")
  if(NOT EXISTS "${LIBDEFLATE_SOURCE_DIR}/libdeflate.h")
    message(FATAL_ERROR "libdeflate sources missing in ${LIBDEFLATE_SOURCE_DIR}: run scripts/fetch-libdeflate")
  endif()
  # Only what whole-item inflation uses: raw DEFLATE decompression and CRC-32, with the CPU
  # feature detection that picks their fastest code.
  add_library(libdeflate STATIC
    ${LIBDEFLATE_SOURCE_DIR}/lib/deflate_decompress.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/crc32.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/utils.c
    ${LIBDEFLATE_SOURCE_DIR}/lib/x86/cpu_features.c)
  target_include_directories(libdeflate SYSTEM PUBLIC ${LIBDEFLATE_SOURCE_DIR})
  target_compile_options(libdeflate PRIVATE -w -O2)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  add_library(minizip INTERFACE)
  target_link_libraries(minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(libdeflate INTERFACE)
  target_link_libraries(libdeflate INTERFACE PkgConfig::LIBDEFLATE)
endif()

if(INSTALLER_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
