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

# Boost, CLI11, {fmt}, nlohmann-json and RapidJSON are used header-only and come from the build machine's
# Debian packages. Only their own folders may reach the compiler: the rest of /usr/include holds
# the Linux C library's headers. They are linked into a root of their own, with the package
# configurations that locate headers relative to themselves; RapidJSON's names /usr/include, so
# it gets one of its own.
set(NIKON_HEADER_ROOT ${CMAKE_BINARY_DIR}/header-only)
set(NIKON_BOOST_INCLUDE ${NIKON_HEADER_ROOT}/usr/include)
foreach(folder IN ITEMS include/boost include/CLI include/fmt include/nlohmann include/rapidjson
                        share/cmake/CLI11 share/cmake/nlohmann_json
                        share/cmake/RapidJSON/RapidJSONConfigVersion.cmake)
  if(EXISTS /usr/${folder} AND NOT EXISTS ${NIKON_HEADER_ROOT}/usr/${folder})
    get_filename_component(parent ${NIKON_HEADER_ROOT}/usr/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK /usr/${folder} ${NIKON_HEADER_ROOT}/usr/${folder} SYMBOLIC)
  endif()
endforeach()
file(WRITE ${NIKON_HEADER_ROOT}/usr/share/cmake/RapidJSON/RapidJSONConfig.cmake
     "set(RAPIDJSON_INCLUDE_DIRS ${NIKON_BOOST_INCLUDE})\n")
# {fmt} is a compiled library on Debian; here it is used in its header-only form instead.
file(WRITE ${NIKON_HEADER_ROOT}/usr/share/cmake/fmt/fmt-config.cmake
     "foreach(target IN ITEMS fmt::fmt fmt::fmt-header-only)\n"
     "  if(NOT TARGET \${target})\n"
     "    add_library(\${target} INTERFACE IMPORTED)\n"
     "    set_target_properties(\${target} PROPERTIES INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1\n"
     "                          INTERFACE_INCLUDE_DIRECTORIES ${NIKON_BOOST_INCLUDE})\n"
     "  endif()\n"
     "endforeach()\n")
list(APPEND CMAKE_FIND_ROOT_PATH ${NIKON_HEADER_ROOT})
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_INCLUDE_DIR ${NIKON_BOOST_INCLUDE} CACHE PATH "Boost headers for the cross build")
