#pragma once

// Painters of the controls' image frames. Each draws one frame into the rectangle
// (0, 0, w, h) of a context that is already scaled and clipped to that frame.

#include <string>
#include <string_view>

#include "Draw.h"

namespace panelart {

enum class Icon {
    None,
    TriangleLeft,
    TriangleRight,
    ShiftLeft,
    ShiftRight,
    Cross,
    Undo,
    Up,
    Down,
    List,
    Play,
    Stop,
    Folder,
    Disk,
    Dot,
};

void drawIcon(cairo_t* cr, Icon icon, double cx, double cy, double size, Colour colour);

// A key cap filling (x, y, w, h - 1); pressed caps sit one pixel lower without a shadow.
void keyCap(cairo_t* cr, double x, double y, double w, double h, double radius, Colour cap,
            bool pressed);
// A rectangular LED lens; lit ones glow.
void ledLens(cairo_t* cr, double x, double y, double w, double h, Colour lit, bool on,
             double dimGlow = 0.0);

// Rotary knob with a value ring; value 0..1 over 270 degrees.
enum class KnobSize { Small, Large };
void paintKnob(cairo_t* cr, double w, double h, double value, KnobSize size);
// Angle (radians, cairo's convention) of a knob value, and of selector position k of n.
double knobAngle(double value);
double selectorAngle(int position, int positions);
void paintSelector(cairo_t* cr, double w, double h, int position, int positions);
// Output number read-out: shows number + 1.
void paintOutputNumber(cairo_t* cr, double w, double h, int number);
void paintScrew(cairo_t* cr, double w, double h, double value);

// Seven-segment digit cell. glyph: ' ' blank, '0'..'9', letters C D E F G A B P, '#' sharp,
// '-' dash; point lights the decimal point.
void paintDigit(cairo_t* cr, double w, double h, char glyph, bool point);
// One glyph cell of the pattern name display (opaque, display glass behind the dots).
void paintFontCell(cairo_t* cr, double w, double h, int code);

void paintStepKey(cairo_t* cr, double w, double h, int step, int state, bool pressed);
void paintSelectKey(cairo_t* cr, double w, double h, std::string_view label, bool on);
void paintToggleKey(cairo_t* cr, double w, double h, std::string_view label, bool on, Colour lit);
void paintLevelModeKey(cairo_t* cr, double w, double h, bool on);
void paintModeKey(cairo_t* cr, double w, double h, bool on, bool pressed, Colour cap);
void paintActionKey(cairo_t* cr, double w, double h, bool pressed, Icon icon);
void paintTransportKey(cairo_t* cr, double w, double h, bool pressed, bool start);
void paintScaleLed(cairo_t* cr, double w, double h, bool on);
void paintSwitch(cairo_t* cr, double w, double h, int position, int positions,
                 std::string_view label);
// top: transparent rows above the cap (keys that sit right under a text field).
void paintIconKey(cairo_t* cr, double w, double h, bool pressed, Icon icon, double top = 0.5);
void paintTextKey(cairo_t* cr, double w, double h, bool pressed, std::string_view label);
void paintLogoButton(cairo_t* cr, double w, double h, bool pressed);
// Browser tab and preset slot: 2 states x released/pressed.
void paintTab(cairo_t* cr, double w, double h, std::string_view label, bool on, bool pressed);
void paintSlot(cairo_t* cr, double w, double h, bool on, bool pressed);

} // namespace panelart
