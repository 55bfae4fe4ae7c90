include_guard(GLOBAL)
# The manual: manual.ms typeset by groff (PostScript, with the picture of the settings
# window as EPS) and turned into Contents/Resources/manual.pdf by Ghostscript. The
# picture is taken at build time from the real dialog by tonefade-dialog-picture
# (tools/), which loads the built bundle as the host does: the manual comes after the
# bundle's code, and what needs the whole bundle depends on TonefadeManual as well.
find_program(TONEFADE_GROFF groff)
find_program(TONEFADE_PS2PDF ps2pdf)
find_program(TONEFADE_PNGTOPNM pngtopnm)
find_program(TONEFADE_PNMTOPS pnmtops)
if(NOT TONEFADE_GROFF OR NOT TONEFADE_PS2PDF OR NOT TONEFADE_PNGTOPNM OR NOT TONEFADE_PNMTOPS)
  message(FATAL_ERROR "The manual needs groff, ghostscript and netpbm (scripts/bootstrap installs them)")
endif()

set(TONEFADE_MANUAL_WORK ${CMAKE_CURRENT_BINARY_DIR}/manual)
set(TONEFADE_MANUAL_PNG ${TONEFADE_MANUAL_WORK}/dialog.png)
set(TONEFADE_MANUAL_EPS ${TONEFADE_MANUAL_WORK}/dialog.eps)
set(TONEFADE_MANUAL_PS ${TONEFADE_MANUAL_WORK}/manual.ps)
set(TONEFADE_MANUAL_PDF ${TONEFADE_RESOURCES_DIR}/manual.pdf)
set(TONEFADE_MANUAL_SOURCE ${CMAKE_CURRENT_LIST_DIR}/manual.ms)

add_custom_command(OUTPUT ${TONEFADE_MANUAL_PNG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TONEFADE_MANUAL_WORK}
  COMMAND tonefade-dialog-picture ${TONEFADE_BUNDLE_DIR} ${TONEFADE_MANUAL_PNG}
  DEPENDS tonefade-dialog-picture TonefadeBundle ${TONEFADE_NIB_OUTPUTS} ${TONEFADE_INFO_PLIST} ${TONEFADE_RSRC_FILE}
  COMMENT "Taking the picture of the settings window for the manual"
  VERBATIM)
add_custom_command(OUTPUT ${TONEFADE_MANUAL_EPS}
  COMMAND sh -c "\"$0\" \"$1\" | \"$2\" -noturn -nocenter -imagewidth 6.3 > \"$3\""
          ${TONEFADE_PNGTOPNM} ${TONEFADE_MANUAL_PNG} ${TONEFADE_PNMTOPS} ${TONEFADE_MANUAL_EPS}
  DEPENDS ${TONEFADE_MANUAL_PNG}
  VERBATIM)
add_custom_command(OUTPUT ${TONEFADE_MANUAL_PS}
  COMMAND sh -c "\"$0\" -ms -Tps -dpaper=a4 -P-pa4 -d \"dialogpicture=$1\" \"$2\" > \"$3\""
          ${TONEFADE_GROFF} ${TONEFADE_MANUAL_EPS} ${TONEFADE_MANUAL_SOURCE} ${TONEFADE_MANUAL_PS}
  DEPENDS ${TONEFADE_MANUAL_SOURCE} ${TONEFADE_MANUAL_EPS}
  VERBATIM)
# Screenshots stay sharp: lossless images rather than Ghostscript's JPEG.
add_custom_command(OUTPUT ${TONEFADE_MANUAL_PDF}
  COMMAND ${TONEFADE_PS2PDF} -dAutoFilterColorImages=false -dColorImageFilter=/FlateEncode -sPAPERSIZE=a4
          ${TONEFADE_MANUAL_PS} ${TONEFADE_MANUAL_PDF}
  DEPENDS ${TONEFADE_MANUAL_PS}
  COMMENT "Making the manual, manual.pdf"
  VERBATIM)
add_custom_target(TonefadeManual ALL DEPENDS ${TONEFADE_MANUAL_PDF})
