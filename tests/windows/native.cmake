# The C host of the Windows build, compiled natively against Nikon.so: its portable checks run in
# the POSIX build, and its job log is the POSIX side of the comparison under Wine.
add_executable(nikon_c_host ${CMAKE_CURRENT_LIST_DIR}/nikon_c_host.c)
set_target_properties(nikon_c_host PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON
                                              RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/windows)
target_link_libraries(nikon_c_host PRIVATE oleaut32 nikon_warnings ${CMAKE_DL_LIBS})
add_dependencies(nikon_c_host Nikon)

# The sanitizers' dynamic type check cannot hold for objects made in C, which carry no C++ type
# information, so the checks run in the builds without sanitizers.
if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/windows/work)
  add_test(NAME c_host_native COMMAND nikon_c_host $<TARGET_FILE:Nikon> ${CMAKE_CURRENT_BINARY_DIR}/windows/work)
endif()
