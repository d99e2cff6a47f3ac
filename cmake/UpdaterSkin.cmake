# The updater's skin: its style sheet, the pictures tools/MakeSkinPictures.cpp draws at build
# time, two fonts from Debian's font packages, the application icon and the version resource.
# resources/updater/ builds them; ha_add_updater_skin() links them into an executable.

# Fonts, checked at every configure so that a removed package is named, not found missing
# half-way through a build. The sheet's font is a condensed face whose line height (from its
# bounding box) lets the longest message fit the status panel in three lines; DejaVu's tall
# bounding box gave four lines of 20 pixels, more than the panel holds.
set(HA_TRUETYPE_FOLDER /usr/share/fonts/truetype CACHE PATH "Folder of Debian's TrueType fonts")
set(HA_SKIN_FONT_FERRO ${HA_TRUETYPE_FOLDER}/roboto/unhinted/RobotoCondensed-Regular.ttf)  # "ferro.ttf" of the sheet
set(HA_SKIN_FONT_DEFAULT ${HA_TRUETYPE_FOLDER}/dejavu/DejaVuSans.ttf)                      # font resource 1
foreach(_font "${HA_SKIN_FONT_FERRO}|fonts-roboto-unhinted" "${HA_SKIN_FONT_DEFAULT}|fonts-dejavu-core")
  string(REPLACE "|" ";" _font "${_font}")
  list(GET _font 0 _file)
  list(GET _font 1 _package)
  if(NOT EXISTS "${_file}")
    message(FATAL_ERROR "The updater's skin needs the font ${_file}, which is missing.\n"
                        "Install the Debian package ${_package} (apt-get install ${_package}; "
                        "scripts/packages.txt lists it), or point HA_TRUETYPE_FOLDER at Debian's TrueType fonts.")
  endif()
endforeach()

# The pictures under the names the sheet spells; linked under the same names in upper case.
set(HA_SKIN_PICTURES
    Bg_Header_FU.png Bg_Inner_FU.png Bg_Status.png Icon_Big_Status.png Busywheel.png
    button_forward_FU.png button_forward_focus_FU.png Bg_Content.png Text_Display.png device.png
    Logo_HA.png Bg_Overlay_FU.png
    top_bar.png bottom_bar.png tree_bg.png top_dotted.png button.png logo.png selection.png
    scrollbar_bg.png scrollbar_bg_ho.png scrollbar_dec.png scrollbar_dec_ho.png scrollbar_inc.png
    scrollbar_inc_ho.png scrollbar_slider_gr_wide.png scrollbar_slider_ho.png)
set(HA_SKIN_SHEET ${CMAKE_SOURCE_DIR}/resources/updater/FirmwareUpdaterStyles.txt)
set(HA_SKIN_BUILD_DIR ${CMAKE_BINARY_DIR}/resources/updater)
set(HA_SKIN_PICTURE_DIR ${HA_SKIN_BUILD_DIR}/pictures)
set(HA_SKIN_VERSION_FILE ${HA_SKIN_BUILD_DIR}/version.bin)
# A skin folder to try the skin-folder look-up with: copy it to a folder named "skin" beside
# the updater. It is never named "skin" itself and never lies beside a test binary, where
# it would switch the look-up on for the tests.
set(HA_SKIN_EXAMPLE_DIR ${CMAKE_BINARY_DIR}/skin-example)

# ha_add_updater_skin(TARGET <executable>)
# Links the skin into an executable: "STYLESHEET" "FIRMWAREUPDATERSTYLES.TXT", the pictures as
# "PICTURE", the fonts as "TTFd" "FERRO.TTF" and "TTFd" 1, icon group 1 with icons 1 (32 px)
# and 2 (16 px), and version resource 1. It takes the target's one resource table.
function(ha_add_updater_skin)
  cmake_parse_arguments(A "" "TARGET" "" ${ARGN})
  if(NOT A_TARGET)
    message(FATAL_ERROR "ha_add_updater_skin: TARGET is needed")
  endif()
  set(_entries STYLESHEET FIRMWAREUPDATERSTYLES.TXT ${HA_SKIN_SHEET})
  foreach(_p ${HA_SKIN_PICTURES})
    string(TOUPPER "${_p}" _name)
    list(APPEND _entries PICTURE ${_name} ${HA_SKIN_PICTURE_DIR}/${_p})
  endforeach()
  list(APPEND _entries
       TTFd FERRO.TTF ${HA_SKIN_FONT_FERRO}
       TTFd 1 ${HA_SKIN_FONT_DEFAULT}
       14 1 ${HA_SKIN_PICTURE_DIR}/icon-group.bin
       3 1 ${HA_SKIN_PICTURE_DIR}/icon-32.png
       3 2 ${HA_SKIN_PICTURE_DIR}/icon-16.png
       16 1 ${HA_SKIN_VERSION_FILE})
  ha_add_resources(TARGET ${A_TARGET} ENTRIES ${_entries})
  add_dependencies(${A_TARGET} ha_updater_skin)
endfunction()
