# Cross build of Nikon.dll for Windows x64 with Debian's MinGW-w64 compiler (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NIKON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NIKON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIKON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NIKON_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${NIKON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Boost is used header-only and comes from the build machine's libboost-dev. Only its own folder
# may reach the compiler: the rest of /usr/include holds the Linux C library's headers.
set(NIKON_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${NIKON_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${NIKON_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${NIKON_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_INCLUDE_DIR ${NIKON_BOOST_INCLUDE} CACHE PATH "Boost headers for the cross build")
