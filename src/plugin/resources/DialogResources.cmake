include_guard(GLOBAL)
# The dialog's resources in the bundle: the nib files "tonefade" (the configuration
# windows) and "about", and the manual, a PDF made from its groff source at build time.
set(TONEFADE_NIB_SOURCES ${CMAKE_CURRENT_LIST_DIR}/nibs/tonefade.nib ${CMAKE_CURRENT_LIST_DIR}/nibs/about.nib)
set(TONEFADE_RESOURCES_DIR ${TONEFADE_BUNDLE_DIR}/Contents/Resources)

set(TONEFADE_NIB_OUTPUTS)
foreach(nib ${TONEFADE_NIB_SOURCES})
  get_filename_component(name ${nib} NAME)
  add_custom_command(OUTPUT ${TONEFADE_RESOURCES_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${nib} ${TONEFADE_RESOURCES_DIR}/${name}
    DEPENDS ${nib}
    VERBATIM)
  list(APPEND TONEFADE_NIB_OUTPUTS ${TONEFADE_RESOURCES_DIR}/${name})
endforeach()
add_custom_target(TonefadeNibs ALL DEPENDS ${TONEFADE_NIB_OUTPUTS})
add_dependencies(TonefadeBundle TonefadeNibs)

include(${CMAKE_CURRENT_LIST_DIR}/manual/Manual.cmake)
