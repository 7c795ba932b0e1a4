include(${CMAKE_CURRENT_LIST_DIR}/Resources.cmake)

# Targets are defined after this file is included: embed once the directory is processed.
function(qm_embed_standard_resources)
  if(TARGET framework_tests AND EXISTS "${CMAKE_SOURCE_DIR}/tests/resources/forms")
    qm_embed_resources(framework_tests "${CMAKE_SOURCE_DIR}/tests/resources/forms")
  endif()
  if(TARGET quillmere AND EXISTS "${CMAKE_SOURCE_DIR}/resources/forms")
    qm_embed_resources(quillmere "${CMAKE_SOURCE_DIR}/resources/forms")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qm_embed_standard_resources)
