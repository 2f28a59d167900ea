// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ovra::motion_core {

// Which implementation runs the per-sample work of a frame. Reference is the plain scalar
// implementation, stage by stage; the others run fused vector kernels compiled for one
// x86 instruction set each. Every set gives the reference's results bit for bit.
enum class KernelSet {
    Reference,
    Sse2,
    Avx2,
    Avx512, // AVX-512 F
};

// Whether this build and this CPU (with its operating system) can run the set.
bool kernelSetSupported(KernelSet set);
// The fastest supported set.
KernelSet bestKernelSet();
// A short lower-case name for logs and the benchmark ("reference", "sse2", "avx2", "avx512").
const char *kernelSetName(KernelSet set);

} // namespace ovra::motion_core
