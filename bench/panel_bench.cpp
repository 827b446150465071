// Panel drawing cost in the headless window: a 999 x 617 panel with 187 controls laid out in a
// grid (knob strips of 31 frames and 12-frame step buttons). Measures a full redraw, the idle of
// an unchanged panel (it must draw nothing) and the idle after the sixteen step lights changed.

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <memory>
#include <vector>

#include "editor/NStateButton.h"
#include "toolkit/AnimKnob.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Frame.h"

namespace {

using namespace vorpalix;
using namespace vorpalix::toolkit;

std::shared_ptr<Bitmap> gradientStrip(int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, width, height);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.1, 0.2, 0.3);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.9, 0.7, 0.2);
    cairo_set_source(cr, gradient);
    cairo_paint(cr);
    cairo_pattern_destroy(gradient);
    cairo_destroy(cr);
    auto bitmap = Bitmap::fromSurface(surface);
    cairo_surface_destroy(surface);
    return bitmap;
}

struct Panel {
    Panel() : frame(Rect::ofSize(0, 0, 999, 617), gradientStrip(999, 617)) {
        auto knob = gradientStrip(34, 32 * 31);
        auto step = gradientStrip(55, 60 * 12);
        for (int i = 0; i < 171; ++i) {
            auto* k =
                frame.add<AnimKnob>(Rect::ofSize(20 + (i % 19) * 50, 20 + (i / 19) * 42, 34, 32),
                                    nullptr, i, 31, 32, knob);
            k->setValue(static_cast<float>(i % 31) / 30.0f);
        }
        for (int i = 0; i < 16; ++i) {
            steps.push_back(frame.add<CNStateButton>(Rect::ofSize(59 + i * 56, 436, 55, 60),
                                                     nullptr, 111 + i, 60, step, Point{}, 6,
                                                     CNStateButton::kOnPress, true));
        }
        frame.redraw();
    }
    Frame frame;
    std::vector<CNStateButton*> steps;
};

void BM_PanelFullRedraw(benchmark::State& state) {
    Panel panel;
    for (auto _ : state) {
        panel.frame.invalidateAll();
        benchmark::DoNotOptimize(panel.frame.redraw());
    }
}
BENCHMARK(BM_PanelFullRedraw)->Unit(benchmark::kMillisecond);

void BM_PanelIdleUnchanged(benchmark::State& state) {
    Panel panel;
    for (auto _ : state)
        panel.frame.idle();
    state.counters["views_drawn"] = static_cast<double>(panel.frame.redraw());
}
BENCHMARK(BM_PanelIdleUnchanged)->Unit(benchmark::kMicrosecond);

void BM_PanelIdleAfterRunningLight(benchmark::State& state) {
    Panel panel;
    int position = 0;
    for (auto _ : state) {
        for (int i = 0; i < 16; ++i)
            panel.steps[static_cast<std::size_t>(i)]->setValue(i == position ? 1.0f : 0.6f);
        position = (position + 1) % 16;
        panel.frame.idle();
    }
}
BENCHMARK(BM_PanelIdleAfterRunningLight)->Unit(benchmark::kMicrosecond);

} // namespace
