# A tool that writes pictures of every window to PNG files (not run by CTest).
add_executable(screenshots tools/screenshots/main.cpp)
target_link_libraries(screenshots PRIVATE app)
qm_embed_resources(screenshots "${CMAKE_SOURCE_DIR}/resources/forms")
