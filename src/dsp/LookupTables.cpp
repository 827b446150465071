#include "dsp/LookupTables.h"

#include <cmath>
#include <memory>

namespace vorpalix {

const LookupTables& LookupTables::instance() {
    static const std::unique_ptr<LookupTables> tables = [] {
        auto t = std::make_unique<LookupTables>();
        for (int i = 0; i < kTanhSize; ++i) {
            t->tanhTable[i] = std::tanh(i / 500.0 - 40.0);
        }
        for (int i = 0; i < kExpSize; ++i) {
            t->expTable[i] = std::exp(i / 1000.0 - 10.0);
        }
        return t;
    }();
    return *tables;
}

namespace {

template <std::size_t N>
double interpolate(const std::array<double, N>& table, double u) {
    if (!(u >= 0.0)) {
        u = 0.0; // also catches NaN
    }
    const double last = static_cast<double>(N - 1);
    if (u >= last) {
        return table[N - 1];
    }
    const auto i = static_cast<std::size_t>(u);
    return table[i] + (table[i + 1] - table[i]) * (u - static_cast<double>(i));
}

} // namespace

double tanhLookup(double x) {
    x = x < -40.0 ? -40.0 : (x > 140.0 ? 140.0 : x);
    return interpolate(LookupTables::instance().tanhTable, (x + 40.0) * 500.0);
}

double expLookup(double x) {
    x = x < -10.0 ? -10.0 : (x > 3.0 ? 3.0 : x);
    return interpolate(LookupTables::instance().expTable, (x + 10.0) * 1000.0);
}

double softClip(double x, double knee, double drive) {
    if (x > -knee && x < knee) {
        return x;
    }
    if (x >= knee && x > 0.0) {
        return knee + tanhLookup((x - knee) * drive) / drive;
    }
    if (x <= -knee && x < 0.0) {
        return tanhLookup((x + knee) * drive) / drive - knee;
    }
    return x;
}

} // namespace vorpalix
