# The program's resources, compiled into the platform library as Qt resources under ":/quillane/".
# Folders name the resource type: bitmaps (bitmap), icons (icon), sounds (wave, type 100).
# make_resources.py is the recipe of the pattern, the sounds and the icon (QUILLANE@2x.png is the
# icon for dense screens, which QIcon picks up by its name).
set(QUILLANE_RESOURCE_FILES
  ${CMAKE_SOURCE_DIR}/resources/bitmaps/DITHER.bmp
  ${CMAKE_SOURCE_DIR}/resources/icons/QUILLANE.png
  ${CMAKE_SOURCE_DIR}/resources/icons/QUILLANE@2x.png
  ${CMAKE_SOURCE_DIR}/resources/sounds/BUTTON_CLICK.wav
  ${CMAKE_SOURCE_DIR}/resources/sounds/PAGE_CLICK.wav)

function(quillane_add_resources target)
  qt_add_resources(${target} quillane_resources
    PREFIX /quillane
    BASE ${CMAKE_SOURCE_DIR}/resources
    FILES ${QUILLANE_RESOURCE_FILES})
endfunction()
