# The simulated radio: a library for in-process tests, the pty executable and its tests.
# It knows its models from its own facts, not from the program's tables.
file(GLOB radiosim_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/radiosim/*.cpp)
list(REMOVE_ITEM radiosim_srcs ${CMAKE_SOURCE_DIR}/tools/radiosim/main.cpp)
add_library(radiosim STATIC ${radiosim_srcs})
target_include_directories(radiosim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(radiosim PUBLIC Threads::Threads)

add_executable(radiosim_tool tools/radiosim/main.cpp)
set_target_properties(radiosim_tool PROPERTIES OUTPUT_NAME radiosim)
target_link_libraries(radiosim_tool PRIVATE radiosim)

qm_tests(radiosim NO_TOOLKIT radiosim)

# The application's radio tests talk to the simulated radio in-process.
target_link_libraries(app_tests PRIVATE radiosim)

# The program itself, as a person starts it, and the example it is shown with.
target_compile_definitions(radiosim_tests PRIVATE RADIOSIM_TOOL="$<TARGET_FILE:radiosim_tool>"
  RADIOSIM_EXAMPLE="${CMAKE_SOURCE_DIR}/tools/radiosim/example-memories.txt")
add_dependencies(radiosim_tests radiosim_tool)
