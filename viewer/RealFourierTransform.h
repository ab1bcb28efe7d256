#pragma once

#include <memory>

// The power of the discrete Fourier transform of real samples, through FFTW's r2c
// transform: the one place the program uses FFTW. A plan is made once per length for the
// whole program and shared; each object has buffers of its own, so that objects on
// different threads transform at the same time.
class RealFourierTransform
{
public:
    explicit RealFourierTransform(int length);
    RealFourierTransform(const RealFourierTransform &) = delete;
    RealFourierTransform &operator=(const RealFourierTransform &) = delete;
    ~RealFourierTransform();

    int length() const;
    // The length() samples to transform, filled by the caller before each addPowerTo().
    double *input();
    // Adds |X_k|² to sums[k] for k = 0 … length() / 2; the input is undefined afterwards.
    void addPowerTo(double *sums);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
