#include "viewer/RealFourierTransform.h"

#include <fftw3.h>

#include <map>
#include <mutex>

namespace {

// Plans live as long as the program and are given back at its end with what FFTW's planner
// keeps, so that nothing of FFTW's is left allocated.
struct SharedPlans
{
    ~SharedPlans()
    {
        for (const auto &entry : plans)
            fftw_destroy_plan(entry.second);
        fftw_cleanup();
    }

    std::mutex planning;
    std::map<int, fftw_plan> plans;
};

// FFTW's planner is not thread-safe; executing a plan is.
fftw_plan sharedPlan(int length, double *input, fftw_complex *output)
{
    static SharedPlans shared;
    const std::lock_guard<std::mutex> lock(shared.planning);
    fftw_plan &plan = shared.plans[length];
    // FFTW_ESTIMATE: measuring would keep the first spectrum of a length waiting for seconds,
    // and leaves the arrays as they were.
    if (!plan)
        plan = fftw_plan_dft_r2c_1d(length, input, output, FFTW_ESTIMATE);
    return plan;
}

} // namespace

struct RealFourierTransform::Private
{
    int length = 0;
    // From fftw_alloc_*, aligned as the shared plan expects.
    double *input = nullptr;
    fftw_complex *output = nullptr;
    fftw_plan plan = nullptr;
};

RealFourierTransform::RealFourierTransform(int length)
    : d(std::make_unique<Private>())
{
    d->length = length;
    d->input = fftw_alloc_real(size_t(length));
    d->output = fftw_alloc_complex(size_t(length / 2 + 1));
    d->plan = sharedPlan(length, d->input, d->output);
}

RealFourierTransform::~RealFourierTransform()
{
    fftw_free(d->input);
    fftw_free(d->output);
}

int RealFourierTransform::length() const
{
    return d->length;
}

double *RealFourierTransform::input()
{
    return d->input;
}

void RealFourierTransform::addPowerTo(double *sums)
{
    fftw_execute_dft_r2c(d->plan, d->input, d->output);
    const int bins = d->length / 2 + 1;
    for (int k = 0; k < bins; ++k)
        sums[k] += d->output[k][0] * d->output[k][0] + d->output[k][1] * d->output[k][1];
}
