#include "uParamStr.h"

#include <atomic>

namespace {
std::atomic<bool> GFullMode{false};
} // namespace

bool FullMode() {
    return GFullMode.load(std::memory_order_relaxed);
}

void SetFullMode(bool Value) {
    GFullMode.store(Value, std::memory_order_relaxed);
}

bool InitFullMode(const QStringList &Args) {
    const bool Full = Args.contains(QStringLiteral("/full"), Qt::CaseSensitive);
    SetFullMode(Full);
    return Full;
}
