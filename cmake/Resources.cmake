# Embedded resources: qm_embed_resources(<target> <folder> [<name prefix>]) turns every file
# below <folder> into a byte array of a generated .cpp compiled into <target>, and defines
# `void RegisterEmbeddedResources_<target>()` that registers each array with
# RegisterResource under the file's base name in upper case, without extension
# (forms/MainForm.qfm -> "MAINFORM"), preceded by the optional prefix. The generated file
# is rewritten at configure time; every embedded file is a configure dependency, so
# editing, adding or removing one re-runs the generation.
function(qm_embed_resources target folder)
  set(prefix "")
  if(ARGC GREATER 2)
    set(prefix "${ARGV2}")
  endif()
  string(MAKE_C_IDENTIFIER "${target}" ident)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false "${folder}/*")
  list(SORT files)

  set(arrays "")
  set(calls "")
  set(index 0)
  foreach(f ${files})
    get_filename_component(base "${f}" NAME_WE)
    string(TOUPPER "${prefix}${base}" resname)
    file(SIZE "${f}" size)
    file(READ "${f}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # A trailing NUL keeps empty files legal C++ and text blobs terminated.
    string(APPEND arrays "const unsigned char qm_res_${index}[] = {${bytes}0};\n")
    string(APPEND calls "    RegisterResource(\"${resname}\", qm_res_${index}, ${size});\n")
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${f}")
    math(EXPR index "${index} + 1")
  endforeach()

  set(out "${CMAKE_BINARY_DIR}/generated/resources_${ident}.cpp")
  set(content "// Generated from ${folder}; do not edit.\n#include \"framework/Resources.h\"\n\nnamespace {\n${arrays}} // namespace\n\nvoid RegisterEmbeddedResources_${ident}()\n{\n${calls}}\n")
  # Rewrite only on change so that an unrelated re-configure does not rebuild the target.
  file(WRITE "${out}.tmp" "${content}")
  configure_file("${out}.tmp" "${out}" COPYONLY)
  target_sources(${target} PRIVATE "${out}")
endfunction()

