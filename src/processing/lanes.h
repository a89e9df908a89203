// Where the kernels that run several lanes side by side (the filter's blocks, the baseline's
// sums) compute them: in vectors, or in their scalar twins.
#pragma once

namespace processing {

// In vectors of the widest instruction set the processor has (chosen at run time, as the
// oscillator kernels' are), or lane after lane by the scalar twin. A lane computes what its
// twin computes, operation for operation (the build never fuses a multiplication and an
// addition), so the two agree bit for bit; only the speed differs.
enum class lanes_in { vectors, scalar_twin };

}  // namespace processing
