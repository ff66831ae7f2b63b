#include "framework/graphics/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

CpuFeaturesData ReadCpuFeatures() {
    CpuFeaturesData f;
#if defined(__i386__) || defined(__x86_64__)
    // __get_cpuid checks that CPUID exists (the ID flag of EFLAGS can be
    // toggled on 32-bit processors) and that the leaf is supported.
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f.mmx = (d >> 23) & 1;
        f.sse = (d >> 25) & 1;
        f.sse2 = (d >> 26) & 1;
    }
    if (__get_cpuid(0x80000001u, &a, &b, &c, &d)) {
        f.amd3dnow = (d >> 31) & 1;
        f.amd3dnowExt = (d >> 30) & 1;
    }
#endif
    return f;
}

}  // namespace

const CpuFeaturesData& CpuFeatures() {
    static const CpuFeaturesData features = ReadCpuFeatures();
    return features;
}
