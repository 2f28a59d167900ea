// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion_core/KernelSet.h"

#include <initializer_list>

namespace ovra::motion_core {

bool kernelSetSupported(KernelSet set)
{
#ifdef OVRA_REFERENCE_KERNELS_ONLY
    return set == KernelSet::Reference;
#else
    switch (set) {
    case KernelSet::Reference:
    case KernelSet::Sse2:
        return true;
    case KernelSet::Avx2:
        return __builtin_cpu_supports("avx2");
    case KernelSet::Avx512:
        return __builtin_cpu_supports("avx512f");
    }
    return false;
#endif
}

KernelSet bestKernelSet()
{
    for (KernelSet set : {KernelSet::Avx512, KernelSet::Avx2, KernelSet::Sse2}) {
        if (kernelSetSupported(set))
            return set;
    }
    return KernelSet::Reference;
}

const char *kernelSetName(KernelSet set)
{
    switch (set) {
    case KernelSet::Reference:
        return "reference";
    case KernelSet::Sse2:
        return "sse2";
    case KernelSet::Avx2:
        return "avx2";
    case KernelSet::Avx512:
        return "avx512";
    }
    return "unknown";
}

} // namespace ovra::motion_core
