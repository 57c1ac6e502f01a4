# Message catalogues: the English texts live in the code, every other
# language in tarnis/resources/LANG.po, compiled here to
# ${PROJECT_BINARY_DIR}/locale/LANG/LC_MESSAGES/tarnis.mo and installed to
# share/locale, where the plug-in looks for them (../../../share/locale from
# lib/tarnis/plugins).
find_package(Gettext REQUIRED)

set(TARNIS_LOCALE_DIR ${PROJECT_BINARY_DIR}/locale)
set(TARNIS_CATALOGUES)
foreach(lang ja)
  set(po ${CMAKE_CURRENT_LIST_DIR}/${lang}.po)
  set(mo ${TARNIS_LOCALE_DIR}/${lang}/LC_MESSAGES/tarnis.mo)
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TARNIS_LOCALE_DIR}/${lang}/LC_MESSAGES
    COMMAND ${GETTEXT_MSGFMT_EXECUTABLE} --check-format --check-domain -o ${mo} ${po}
    DEPENDS ${po}
    COMMENT "Compiling the ${lang} message catalogue")
  list(APPEND TARNIS_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION share/locale/${lang}/LC_MESSAGES)
endforeach()
add_custom_target(tarnis_catalogues ALL DEPENDS ${TARNIS_CATALOGUES})
