// A view with a value. The value normally lies in min..max (0..1 unless set otherwise); setValue
// stores what it is given (a display may show frames beyond the range its mouse handling keeps
// to), bounceValue() brings it back into the range. A control is dirty when it was marked so or
// when its value differs from the value it last drew.
// The listener hears of every change the user makes: valueChanged after the change, and the
// modifier-click hook before a click with Shift, Ctrl, Alt or Command held.
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "toolkit/View.h"

namespace vorpalix::toolkit {

class Control;

class ControlListener {
public:
    virtual ~ControlListener() = default;
    virtual void valueChanged(Control& control) = 0;
    // A click with a modifier held. Answer true to take the click: the control then ignores it.
    virtual bool modifierClicked(Control& /*control*/, std::uint32_t /*buttons*/) { return false; }
    // The user starts and stops moving a control (a host records one automation gesture).
    virtual void beginEdit(Control& /*control*/) {}
    virtual void endEdit(Control& /*control*/) {}
};

class Control : public View {
public:
    Control(const Rect& rect, ControlListener* listener, int tag,
            std::shared_ptr<Bitmap> background = nullptr, Point offset = {});

    float getValue() const { return value_; }
    // Stores the value (not bounded) and marks the control for redraw if it differs from what
    // was drawn. Values that are not finite are ignored.
    virtual void setValue(float value);
    float getMin() const { return min_; }
    float getMax() const { return max_; }
    void setMin(float min) { min_ = min; }
    void setMax(float max) { max_ = max; }
    // The value brought into min..max.
    void bounceValue();
    // (value - min) / (max - min), bounded to 0..1.
    float getValueNormalized() const;

    int getTag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    ControlListener* getListener() const { return listener_; }
    void setListener(ControlListener* listener) { listener_ = listener; }
    // Where in the background bitmap the frames start.
    Point getOffset() const { return offset_; }
    void setOffset(Point offset) { offset_ = offset; }

    bool isDirty() const override;

    // Tells the listener (if any) that the value changed.
    void notifyValueChanged();
    void beginEdit();
    void endEdit();

protected:
    // True when a modifier is held and the listener took the click.
    bool modifierClickTaken(std::uint32_t buttons);
    void markDrawn() override;
    // Draws frame `index` (0-based, frames of `frameHeight` pixels) of the background bitmap.
    void drawFrame(DrawContext& context, int index, int frameHeight);

    float value_ = 0.0f;
    float min_ = 0.0f;
    float max_ = 1.0f;

private:
    ControlListener* listener_;
    int tag_;
    Point offset_;
    float drawnValue_ = 0.0f;
};

// frame = floor(value * (frames - 1)) bounded to the frames; a tiny allowance keeps a value
// computed as k / (frames - 1) on frame k despite float rounding.
int frameFromValueFloor(float value, int frames);
// frame = value * (frames - 1) rounded half up, bounded to the frames.
int frameFromValueRound(float value, int frames);

} // namespace vorpalix::toolkit
