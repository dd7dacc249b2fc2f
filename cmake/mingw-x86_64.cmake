# Cross toolchain for the x86-64 build of the Windows programs. Install.exe ships as the 32-bit
# build (mingw-i686.cmake); this one exists for machines whose kernel runs no 32-bit programs,
# where Wine can start only 64-bit Windows programs: the Windows tests then run as 64-bit builds of
# the same sources (scripts/lib/wine-env.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
