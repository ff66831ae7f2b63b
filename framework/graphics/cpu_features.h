// Processor features that select the wider pixel paths. Filled once per
// process from CPUID on first use; all false on processors without CPUID or
// other than x86.
#pragma once

struct CpuFeaturesData {
    bool mmx = false;
    bool sse = false;
    bool sse2 = false;
    bool amd3dnow = false;
    bool amd3dnowExt = false;
};

const CpuFeaturesData& CpuFeatures();
