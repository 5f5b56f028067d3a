// A single-precision value kept between a minimum and a maximum. The map view
// keeps its offsets and zoom in three of these.
#pragma once

namespace solar {

class TSingleLimiter {
public:
    float Max = 0.0f;
    float Min = 0.0f;
    float Value = 0.0f;

    void SetMax(float v) {
        Max = v;
        Clamp();
    }
    void SetMin(float v) {
        Min = v;
        Clamp();
    }
    void SetValue(float v) {
        Value = v;
        Clamp();
    }

private:
    // Min first, then Max: when the two cross, Max wins. A NaN value fails the
    // first test and so becomes Min.
    void Clamp() {
        if (!(Value >= Min)) {
            Value = Min;
        }
        if (Value > Max) {
            Value = Max;
        }
    }
};

} // namespace solar
