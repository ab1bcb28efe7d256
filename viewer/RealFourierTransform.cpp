#include "viewer/RealFourierTransform.h"

#include <fftw3.h>

#include <map>
#include <mutex>

namespace {

// FFTW's planner is not thread-safe; executing a plan is. The plans are made once per length
// and kept until the program ends, when they and the planner's own memory go.
class SharedPlans
{
public:
    ~SharedPlans()
    {
        for (const auto &entry : m_plans)
            fftw_destroy_plan(entry.second);
        fftw_cleanup();
    }

    fftw_plan planFor(int length, double *input, fftw_complex *output)
    {
        const std::lock_guard<std::mutex> lock(m_planning);
        fftw_plan &plan = m_plans[length];
        // FFTW_ESTIMATE: measuring would keep the first spectrum of a length waiting for
        // seconds, and leaves the arrays as they were.
        if (!plan)
            plan = fftw_plan_dft_r2c_1d(length, input, output, FFTW_ESTIMATE);
        return plan;
    }

private:
    std::mutex m_planning;
    std::map<int, fftw_plan> m_plans;
};

SharedPlans &sharedPlans()
{
    static SharedPlans plans;
    return plans;
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
    d->plan = sharedPlans().planFor(length, d->input, d->output);
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
