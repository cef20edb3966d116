#include "IOData.h"

#include <algorithm>

TIOData::TIOData() = default;

TIOData::~TIOData() {
    Disconnect(FSource);
    // Bindings still attached to this one would keep a dangling source and
    // touch freed memory when they are destroyed; they are detached instead.
    for (TIOData *Target : FTargets)
        if (Target && Target->FSource == this)
            Target->FSource = nullptr;
}

void TIOData::SetValue(const TVariant &Value, TDateTime AStamp) {
    FStamp.SetStamp(AStamp != 0 ? AStamp : Now());
    const TVariant Old = FInput;
    FInput = Value;
    if (!FActive)
        return;
    if (OnInput)
        OnInput(this);
    if (Old != FInput && OnInputChange)
        OnInputChange(this);
    TVariant Converted;
    Convert(Converted);
    SetOutput(Converted);
}

void TIOData::GetInput(TVariant &Value) {
    Value = FInput;
}

void TIOData::SetSource(TIOData *ASource, bool Immediately) {
    if (FSource)
        Disconnect(FSource);
    FSource = ASource;
    if (!ASource)
        return;
    ASource->FTargets.push_back(this);
    if (Immediately)
        SetValue(ASource->FOutput, ASource->Stamp());
}

void TIOData::GetValue(TVariant &Value) {
    Value = FOutput;
}

void TIOData::SetOutput(const TVariant &Value) {
    const bool Changed = FOutput != Value;
    FOutput = Value;
    if (OnOutput)
        OnOutput(this);
    if (Changed && OnOutputChange)
        OnOutputChange(this);
    NotifyTargets();
}

void TIOData::NotifyTargets() {
    // The list may change while targets run their handlers: index it afresh.
    for (size_t i = 0; i < FTargets.size();) {
        TIOData *Target = FTargets[i];
        if (!Target) {
            FTargets.erase(FTargets.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        try {
            Target->SetValue(FOutput, Stamp());
        } catch (...) {
            // one failing target must not keep the next from its value
        }
        ++i;
    }
}

void TIOData::Disconnect(TIOData *ASource) {
    if (!ASource)
        return;
    auto &List = ASource->FTargets;
    const auto It = std::find(List.begin(), List.end(), this);
    if (It != List.end())
        List.erase(It);
}

void TIOData::Assign(const TPersistent *Source) {
    if (const auto *Other = dynamic_cast<const TIOData *>(Source))
        FActive = Other->FActive;
}

void TCustomIOData::Convert(TVariant &Value) {
    Value = Input();
}

void TCustomIOData::SetValue(const TVariant &Value, TDateTime AStamp) {
    try {
        TIOData::SetValue(Value, AStamp);
    } catch (...) {
    }
}

void TCustomIOData::GetInput(TVariant &Value) {
    try {
        TIOData::GetInput(Value);
    } catch (...) {
    }
}

void TCustomIOData::SetSource(TIOData *ASource, bool Immediately) {
    try {
        TIOData::SetSource(ASource, Immediately);
    } catch (...) {
    }
}

void TCustomIOData::GetValue(TVariant &Value) {
    try {
        TIOData::GetValue(Value);
    } catch (...) {
    }
}

void TiodIntegerToInteger::Convert(TVariant &Value) {
    Value = TVariant(Input().ToInteger());
}

void TiodDoubleToDouble::Convert(TVariant &Value) {
    Value = TVariant(Input().ToDouble());
}

void TiodThreeStatesToThreeStates::Convert(TVariant &Value) {
    Value = TVariant(static_cast<std::uint8_t>(Input().ToInteger() & 0xFF));
}
