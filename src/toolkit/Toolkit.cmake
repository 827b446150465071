# The widget toolkit (cairo drawing, X11 and headless windows) and the editor's own controls
# built on it. Included by src/Layers.cmake: the toolkit sees only its own folder, so it cannot
# reach the plug-in, and the custom controls see only themselves and the toolkit.
pkg_check_modules(VORPALIX_CAIRO_X11 REQUIRED IMPORTED_TARGET cairo cairo-xlib x11)

vorpalix_layer(toolkit FOLDER toolkit LINK PkgConfig::VORPALIX_CAIRO_X11)
vorpalix_layer(editor_controls FOLDER editor
    FILES NStateButton.h NStateButton.cpp ExMovieBitmap.h ExMovieBitmap.cpp
          BitmapDisplay.h BitmapDisplay.cpp Blink.h
    DEPENDS toolkit)
