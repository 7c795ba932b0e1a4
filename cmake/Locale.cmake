# Message catalogs: every <root>/<lang>/<domain>.po under resources/locale and
# tests/resources/locale becomes <build>/locale/<lang>/LC_MESSAGES/<domain>.mo, where the
# programs (written to the build root) look for them.
find_program(QM_MSGFMT msgfmt)

file(GLOB qm_po_files CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/resources/locale/*/*.po
  ${CMAKE_SOURCE_DIR}/tests/resources/locale/*/*.po)

set(qm_mo_files)
if(QM_MSGFMT)
  foreach(po ${qm_po_files})
    get_filename_component(domain ${po} NAME_WE)
    get_filename_component(lang_dir ${po} DIRECTORY)
    get_filename_component(lang ${lang_dir} NAME)
    set(out_dir ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES)
    set(mo ${out_dir}/${domain}.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
      COMMAND ${QM_MSGFMT} --check-format -o ${mo} ${po}
      DEPENDS ${po}
      COMMENT "Compiling catalog ${lang}/${domain}"
      VERBATIM)
    list(APPEND qm_mo_files ${mo})
  endforeach()
elseif(qm_po_files)
  message(WARNING "msgfmt not found: translation catalogs are not built")
endif()

add_custom_target(catalogs ALL DEPENDS ${qm_mo_files})
add_dependencies(framework catalogs)
