// The state of the fault-injection plan, shared by both implementations of
// the file calls. Each call site tests g_faultArmed first, so an unarmed
// plan costs one predictable branch.
#pragma once

#include "platform/platform.h"

namespace platform::fault_detail {

inline bool g_faultArmed = false;
inline FaultPlan g_faultPlan{};
inline std::uint32_t g_faultCallCount = 0;

constexpr std::uint16_t kWriteFault = 29;  // ERROR_WRITE_FAULT

inline std::uint16_t usualError(FaultOp op) {
    switch (op) {
        case FaultOp::open:
            return kErrAccessDenied;
        case FaultOp::write:
            return kWriteFault;
        case FaultOp::close:
            return kWriteFault;
        case FaultOp::rename:
            return kErrAccessDenied;
        default:
            return kErrNone;
    }
}

// Counts a call of `op`; true when this call is to fail, with the error to
// report in *error.
inline bool faultHits(FaultOp op, std::uint16_t* error) {
    if (g_faultPlan.op != op) return false;
    const std::uint32_t call = ++g_faultCallCount;
    const FaultPlan& plan = g_faultPlan;
    if (plan.failAt == 0 || call < plan.failAt || (call > plan.failAt && !plan.sticky)) return false;
    *error = plan.error
                 ? plan.error
                 : (op == FaultOp::write && plan.shortWrite ? static_cast<std::uint16_t>(kErrDiskFull)
                                                            : static_cast<std::uint16_t>(usualError(op)));
    return true;
}

}  // namespace platform::fault_detail
