# The serial tests compare escape sequences with the system's terminal database.
if(CURSES_FOUND)
  target_include_directories(serial_tests PRIVATE ${CURSES_INCLUDE_DIRS})
  target_link_libraries(serial_tests PRIVATE ${CURSES_LIBRARIES})
endif()
